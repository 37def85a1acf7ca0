// Composes small drawings as DXF text in the two layouts CAD programs write:
// the 12-format (entities with handle and layer groups) and the 2000-format
// (entities with AcDbEntity and subclass markers).
#pragma once

#include <string>
#include <utility>
#include <vector>

class DxfText {
 public:
  // version: "AC1009" (12-format), "AC1015" (2000-format), any other text, or "" for no header.
  explicit DxfText(std::string version = "AC1009");

  bool Is2000() const;
  DxfText& Layer(const std::string& name);   // an entry of the layer table
  DxfText& Line(const std::string& layer, double x1, double y1, double x2, double y2);
  DxfText& Arc(const std::string& layer, double cx, double cy, double r, double a0, double a1);
  DxfText& Circle(const std::string& layer, double cx, double cy, double r);
  DxfText& Text(const std::string& layer, double x, double y, const std::string& text);
  DxfText& Point(const std::string& layer, double x, double y);
  DxfText& Insert(const std::string& layer, const std::string& block, double x, double y);
  // 12-format: POLYLINE/VERTEX/SEQEND; 2000-format: LWPOLYLINE.
  DxfText& Polyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts,
                    bool closed = true);
  // 2000-format heavy polyline (AcDb2dPolyline with AcDb2dVertex entities).
  DxfText& HeavyPolyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts);
  DxfText& Raw(const std::string& lines);    // lines placed verbatim into the entity section

  // The whole drawing; crlf selects DOS line ends.
  std::string Str(bool crlf = false) const;

 private:
  void group(std::string& out, int code, const std::string& value) const;
  void entityHead(const std::string& type, const std::string& layer, const char* subclass);
  std::string version_;
  std::vector<std::string> layers_;
  std::string entities_;
  int handle_ = 0x100;
};

std::string Num(double v);   // a coordinate as CAD programs write it
