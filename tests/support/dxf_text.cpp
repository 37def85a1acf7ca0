// DXF text composer for tests.
#include "support/dxf_text.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

static std::string Num(double v) {
  char b[64];
  snprintf(b, sizeof b, "%.6f", v);
  return b;
}

static void group(std::string& out, int code, const std::string& value) {
  char c[16];
  snprintf(c, sizeof c, "%3d\n", code);
  out += c + value + '\n';
}

// Several groups in a row.
static void groups(std::string& out, std::initializer_list<std::pair<int, std::string>> gs) {
  for (const auto& [code, value] : gs) group(out, code, value);
}

DxfText::DxfText(std::string version) : version_(std::move(version)) {}

bool DxfText::Is2000() const {
  return version_.size() >= 6 && version_.compare(0, 2, "AC") == 0 && version_ > "AC1011";
}

DxfText& DxfText::Layer(const std::string& name) {
  layers_.push_back(name);
  return *this;
}

DxfText& DxfText::Layout(bool handles, bool style, bool layerLate) {
  handles_ = handles;
  style_ = style;
  layerLate_ = layerLate;
  return *this;
}

DxfText& DxfText::Extrusion(double x, double y, double z) {
  ext_[0] = x; ext_[1] = y; ext_[2] = z;
  return *this;
}

void DxfText::extrusion() {
  if (ext_[0] == 0 && ext_[1] == 0 && ext_[2] == 1) return;
  groups(out(), {{210, Num(ext_[0])}, {220, Num(ext_[1])}, {230, Num(ext_[2])}});
}

DxfText& DxfText::Block(const std::string& name, double bx, double by) {
  inBlock_ = true;
  group(blocks_, 0, "BLOCK");
  if (Is2000()) groups(blocks_, {{100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}});
  else group(blocks_, 8, "0");
  groups(blocks_, {{2, name}, {70, "0"}, {10, Num(bx)}, {20, Num(by)}, {30, Num(0)}, {3, name}});
  return *this;
}

DxfText& DxfText::EndBlock() {
  group(blocks_, 0, "ENDBLK");
  if (Is2000()) group(blocks_, 100, "AcDbEntity");
  group(blocks_, 8, "0");
  if (Is2000()) group(blocks_, 100, "AcDbBlockEnd");
  inBlock_ = false;
  return *this;
}

// 12-format: style groups, then the layer; 2000-format: the layer, the style groups and the
// subclass marker, or the marker first when the layer comes after the markers.
void DxfText::entityHead(const std::string& type, const std::string& layer, const char* subclass) {
  std::string& o = out();
  const bool v2000 = Is2000(), late = v2000 && layerLate_ && subclass;
  const std::string handle = std::to_string(handle_++);
  group(o, 0, type);
  if (handles_) group(o, 5, handle);
  if (v2000) groups(o, {{330, "1F"}, {100, "AcDbEntity"}});
  if (late) group(o, 100, subclass);
  if (style_ && !v2000) groups(o, {{6, "CONTINUOUS"}, {62, "7"}, {370, "-1"}, {60, "0"}});
  group(o, 8, layer);
  if (style_ && v2000) groups(o, {{6, "CONTINUOUS"}, {62, "7"}, {370, "-1"}, {60, "0"}});
  if (v2000 && subclass && !late) group(o, 100, subclass);
}

DxfText& DxfText::Line(const std::string& layer, double x1, double y1, double x2, double y2) {
  entityHead("LINE", layer, "AcDbLine");
  groups(out(), {{10, Num(x1)}, {20, Num(y1)}, {30, Num(0)}, {11, Num(x2)}, {21, Num(y2)}, {31, Num(0)}});
  return *this;
}

DxfText& DxfText::Arc(const std::string& layer, double cx, double cy, double r, double a0, double a1) {
  entityHead("ARC", layer, "AcDbCircle");
  groups(out(), {{10, Num(cx)}, {20, Num(cy)}, {30, Num(0)}, {40, Num(r)}});
  extrusion();
  if (Is2000()) group(out(), 100, "AcDbArc");
  groups(out(), {{50, Num(a0)}, {51, Num(a1)}});
  return *this;
}

DxfText& DxfText::Circle(const std::string& layer, double cx, double cy, double r) {
  entityHead("CIRCLE", layer, "AcDbCircle");
  groups(out(), {{10, Num(cx)}, {20, Num(cy)}, {30, Num(0)}, {40, Num(r)}});
  extrusion();
  return *this;
}

DxfText& DxfText::Text(const std::string& layer, double x, double y, const std::string& text) {
  entityHead("TEXT", layer, "AcDbText");
  groups(out(), {{10, Num(x)}, {20, Num(y)}, {30, Num(0)}, {40, Num(2.5)}, {1, text}});
  if (Is2000()) group(out(), 100, "AcDbText");
  extrusion();
  return *this;
}

DxfText& DxfText::Point(const std::string& layer, double x, double y) {
  entityHead("POINT", layer, "AcDbPoint");
  groups(out(), {{10, Num(x)}, {20, Num(y)}, {30, Num(0)}});
  return *this;
}

DxfText& DxfText::Insert(const std::string& layer, const std::string& block, double x, double y, double sx,
                         double sy, double rotation, int columns, int rows, double dx, double dy) {
  const bool array = columns > 1 || rows > 1;
  entityHead("INSERT", layer, array ? "AcDbMInsertBlock" : "AcDbBlockReference");
  groups(out(), {{2, block}, {10, Num(x)}, {20, Num(y)}, {30, Num(0)}, {41, Num(sx)}, {42, Num(sy)}, {43, Num(1)},
      {50, Num(rotation)}});
  if (array) groups(out(), {{70, std::to_string(columns)}, {71, std::to_string(rows)}, {44, Num(dx)}, {45, Num(dy)}});
  extrusion();
  return *this;
}

DxfText& DxfText::Ellipse(const std::string& layer, double cx, double cy, double mx, double my, double ratio,
                          double t0, double t1) {
  entityHead("ELLIPSE", layer, "AcDbEllipse");
  groups(out(), {{10, Num(cx)}, {20, Num(cy)}, {30, Num(0)}, {11, Num(mx)}, {21, Num(my)}, {31, Num(0)}});
  extrusion();
  groups(out(), {{40, Num(ratio)}, {41, Num(t0)}, {42, Num(t1)}});
  return *this;
}

DxfText& DxfText::Spline(const std::string& layer, int degree, const std::vector<double>& knots,
                         const std::vector<std::pair<double, double>>& points, const std::vector<double>& weights) {
  entityHead("SPLINE", layer, "AcDbSpline");
  extrusion();
  groups(out(), {{70, weights.empty() ? "8" : "12"}, {71, std::to_string(degree)},
      {72, std::to_string(knots.size())}, {73, std::to_string(points.size())}, {74, "0"}, {42, "0.000000001"},
      {43, "0.0000000001"}});
  for (double k : knots) group(out(), 40, Num(k));
  for (size_t i = 0; i < points.size(); ++i) {
    groups(out(), {{10, Num(points[i].first)}, {20, Num(points[i].second)}, {30, Num(0)}});
    if (i < weights.size()) group(out(), 41, Num(weights[i]));
  }
  return *this;
}

DxfText& DxfText::Polyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts) {
  std::vector<std::array<double, 3>> flat;
  for (const auto& [x, y] : pts) flat.push_back({x, y, 0});
  return BulgedPolyline(layer, flat, true);
}

DxfText& DxfText::BulgedPolyline(const std::string& layer, const std::vector<std::array<double, 3>>& pts,
                                  bool closed) {
  if (Is2000()) {
    entityHead("LWPOLYLINE", layer, "AcDbPolyline");
    groups(out(), {{90, std::to_string(pts.size())}, {70, closed ? "1" : "0"}});
    for (const auto& p : pts) {
      groups(out(), {{10, Num(p[0])}, {20, Num(p[1])}});
      if (p[2] != 0) group(out(), 42, Num(p[2]));
    }
    extrusion();
    return *this;
  }
  return VertexPolyline(layer, pts, closed ? 1 : 0, true);
}

DxfText& DxfText::VertexPolyline(const std::string& layer, const std::vector<std::array<double, 3>>& pts,
                                  int flags, bool bulged) {
  const bool solid = flags & 8;
  entityHead("POLYLINE", layer, solid ? "AcDb3dPolyline" : "AcDb2dPolyline");
  groups(out(), {{66, "1"}, {10, Num(0)}, {20, Num(0)}, {30, Num(0)}, {70, std::to_string(flags)}});
  extrusion();
  for (const auto& p : pts) {
    entityHead("VERTEX", layer, "AcDbVertex");
    if (Is2000()) group(out(), 100, solid ? "AcDb3dPolylineVertex" : "AcDb2dVertex");
    groups(out(), {{10, Num(p[0])}, {20, Num(p[1])}, {30, Num(bulged ? 0 : p[2])}});
    if (bulged && p[2] != 0) group(out(), 42, Num(p[2]));
    if (solid) group(out(), 70, "32");
  }
  entityHead("SEQEND", layer, nullptr);
  return *this;
}

DxfText& DxfText::Raw(const std::string& lines) {
  entities_ += lines;
  return *this;
}

DxfText& DxfText::Header(const std::string& name, int code, const std::string& value) {
  groups(header_, {{9, name}, {code, value}});
  return *this;
}

DxfText& DxfText::NoHeader() {
  noHeader_ = true;
  return *this;
}

std::string DxfText::Str(bool crlf) const {
  std::string out;
  if (!version_.empty() && !noHeader_) {
    groups(out, {{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, version_}});
    out += header_;
    group(out, 0, "ENDSEC");
  }
  groups(out, {{0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "LAYER"}});
  if (Is2000()) groups(out, {{5, "2"}, {100, "AcDbSymbolTable"}});
  group(out, 70, std::to_string(layers_.size()));
  int h = 0x10;
  for (const auto& name : layers_) {
    group(out, 0, "LAYER");
    if (Is2000())
      groups(out, {{5, std::to_string(h++)}, {330, "2"}, {100, "AcDbSymbolTableRecord"},
          {100, "AcDbLayerTableRecord"}});
    groups(out, {{2, name}, {70, "0"}, {62, "7"}, {6, "CONTINUOUS"}});
  }
  groups(out, {{0, "ENDTAB"}, {0, "ENDSEC"}});
  if (!blocks_.empty()) {
    groups(out, {{0, "SECTION"}, {2, "BLOCKS"}});
    out += blocks_;
    group(out, 0, "ENDSEC");
  }
  groups(out, {{0, "SECTION"}, {2, "ENTITIES"}});
  out += entities_;
  group(out, 0, "ENDSEC");
  if (Is2000()) {
    groups(out, {{0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"},
        {3, "ACAD_GROUP"}, {350, "D"}, {0, "ENDSEC"}});
  }
  group(out, 0, "EOF");
  if (!crlf) return out;
  std::string dos;
  for (char c : out) {
    if (c == '\n') dos += '\r';
    dos += c;
  }
  return dos;
}
