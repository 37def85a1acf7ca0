// Composes small drawings as DXF text in the two layouts CAD programs write:
// the 12-format (entities with handle and layer groups) and the 2000-format
// (entities with AcDbEntity and subclass markers), with the variations real
// writers show: no handles, style groups before the subclass marker, the layer
// after the markers, object coordinates, block definitions, bulged polylines.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

class DxfText {
 public:
  // version: "AC1009" (12-format), "AC1015" (2000-format; AC1012 and later), any other text,
  // or "" for no header.
  explicit DxfText(std::string version = "AC1009");

  bool Is2000() const;
  DxfText& Layer(const std::string& name);   // an entry of the layer table
  DxfText& Line(const std::string& layer, double x1, double y1, double x2, double y2);
  DxfText& Arc(const std::string& layer, double cx, double cy, double r, double a0, double a1);
  DxfText& Circle(const std::string& layer, double cx, double cy, double r);
  DxfText& Text(const std::string& layer, double x, double y, const std::string& text);
  DxfText& Point(const std::string& layer, double x, double y);
  // An insert, scaled (41, 42) and turned (50 degrees); more than one column or row makes it an array (MINSERT).
  DxfText& Insert(const std::string& layer, const std::string& block, double x, double y, double sx = 1,
                  double sy = 1, double rotation = 0, int columns = 1, int rows = 1, double dx = 0, double dy = 0);
  // ELLIPSE: centre, end of the major axis relative to it, minor/major ratio, start and end parameter (radians).
  DxfText& Ellipse(const std::string& layer, double cx, double cy, double mx, double my, double ratio, double t0,
                   double t1);
  // SPLINE of a degree with its knots and control points (x, y); weights empty for a non-rational one.
  DxfText& Spline(const std::string& layer, int degree, const std::vector<double>& knots,
                  const std::vector<std::pair<double, double>>& points, const std::vector<double>& weights = {});
  // A closed polyline; 12-format: POLYLINE/VERTEX/SEQEND; 2000-format: LWPOLYLINE.
  DxfText& Polyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts);
  DxfText& Raw(const std::string& lines);    // lines placed verbatim into the entity section
  DxfText& Header(const std::string& name, int code, const std::string& value);  // a header variable after $ACADVER ("$INSUNITS", 70, "1")
  DxfText& NoHeader();                       // the entities in the version's layout, but no header section at all

  // How the following entities are written.
  // handles: group 5 in every entity head (the default); style: line type, colour, line weight and
  // visibility next to the layer group; layerLate: 2000-format, the layer group after the subclass markers.
  DxfText& Layout(bool handles, bool style, bool layerLate);
  DxfText& Extrusion(double x, double y, double z);  // groups 210/220/230; (0, 0, 1) writes none
  DxfText& Block(const std::string& name, double bx = 0, double by = 0);  // following entities go into a block definition with this base point ...
  DxfText& EndBlock();                      // ... up to here

  // Polylines whose points carry (x, y, bulge of the segment to the next point);
  // 12-format: POLYLINE/VERTEX/SEQEND, 2000-format: LWPOLYLINE.
  DxfText& BulgedPolyline(const std::string& layer, const std::vector<std::array<double, 3>>& pts, bool closed);
  // POLYLINE with VERTEX entities (x, y, z) and flag 70 (8: 3-D, 16 or 64 added: a mesh); in the 2000-format
  // with the subclass markers of a heavy 2-D or a 3-D polyline. Bulged: (x, y, bulge to the next point) at z 0.
  DxfText& VertexPolyline(const std::string& layer, const std::vector<std::array<double, 3>>& pts, int flags,
                          bool bulged = false);

  // The whole drawing; crlf selects DOS line ends.
  std::string Str(bool crlf = false) const;

 private:
  void entityHead(const std::string& type, const std::string& layer, const char* subclass);
  void extrusion();
  std::string& out() { return inBlock_ ? blocks_ : entities_; }
  std::string version_;
  std::string header_;   // header variables after $ACADVER
  bool noHeader_ = false;
  std::vector<std::string> layers_;
  std::string entities_;
  std::string blocks_;
  int handle_ = 0x100;
  bool handles_ = true, style_ = false, layerLate_ = false, inBlock_ = false;
  double ext_[3] = {0, 0, 1};
};
