// DXF text composer for tests.
#include "support/dxf_text.h"

#include <cstdio>

std::string Num(double v) {
  char b[64];
  snprintf(b, sizeof b, "%.6f", v);
  return b;
}

DxfText::DxfText(std::string version) : version_(std::move(version)) {}

bool DxfText::Is2000() const {
  return version_.size() >= 6 && version_.compare(0, 2, "AC") == 0 && version_ > "AC1014";
}

void DxfText::group(std::string& out, int code, const std::string& value) const {
  char c[16];
  snprintf(c, sizeof c, "%3d", code);
  out += c;
  out += '\n';
  out += value;
  out += '\n';
}

DxfText& DxfText::Layer(const std::string& name) {
  layers_.push_back(name);
  return *this;
}

void DxfText::entityHead(const std::string& type, const std::string& layer, const char* subclass) {
  char h[16];
  snprintf(h, sizeof h, "%X", handle_++);
  group(entities_, 0, type);
  group(entities_, 5, h);
  if (Is2000()) {
    group(entities_, 330, "1F");
    group(entities_, 100, "AcDbEntity");
  }
  group(entities_, 8, layer);
  if (Is2000() && subclass) group(entities_, 100, subclass);
}

DxfText& DxfText::Line(const std::string& layer, double x1, double y1, double x2, double y2) {
  entityHead("LINE", layer, "AcDbLine");
  group(entities_, 10, Num(x1));
  group(entities_, 20, Num(y1));
  group(entities_, 30, Num(0));
  group(entities_, 11, Num(x2));
  group(entities_, 21, Num(y2));
  group(entities_, 31, Num(0));
  return *this;
}

DxfText& DxfText::Arc(const std::string& layer, double cx, double cy, double r, double a0, double a1) {
  entityHead("ARC", layer, "AcDbCircle");
  group(entities_, 10, Num(cx));
  group(entities_, 20, Num(cy));
  group(entities_, 30, Num(0));
  group(entities_, 40, Num(r));
  if (Is2000()) group(entities_, 100, "AcDbArc");
  group(entities_, 50, Num(a0));
  group(entities_, 51, Num(a1));
  return *this;
}

DxfText& DxfText::Circle(const std::string& layer, double cx, double cy, double r) {
  entityHead("CIRCLE", layer, "AcDbCircle");
  group(entities_, 10, Num(cx));
  group(entities_, 20, Num(cy));
  group(entities_, 30, Num(0));
  group(entities_, 40, Num(r));
  return *this;
}

DxfText& DxfText::Text(const std::string& layer, double x, double y, const std::string& text) {
  entityHead("TEXT", layer, "AcDbText");
  group(entities_, 10, Num(x));
  group(entities_, 20, Num(y));
  group(entities_, 30, Num(0));
  group(entities_, 40, Num(2.5));
  group(entities_, 1, text);
  if (Is2000()) group(entities_, 100, "AcDbText");
  return *this;
}

DxfText& DxfText::Point(const std::string& layer, double x, double y) {
  entityHead("POINT", layer, "AcDbPoint");
  group(entities_, 10, Num(x));
  group(entities_, 20, Num(y));
  group(entities_, 30, Num(0));
  return *this;
}

DxfText& DxfText::Insert(const std::string& layer, const std::string& block, double x, double y) {
  entityHead("INSERT", layer, "AcDbBlockReference");
  group(entities_, 2, block);
  group(entities_, 10, Num(x));
  group(entities_, 20, Num(y));
  group(entities_, 30, Num(0));
  return *this;
}

DxfText& DxfText::Polyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts,
                           bool closed) {
  if (Is2000()) {
    entityHead("LWPOLYLINE", layer, "AcDbPolyline");
    group(entities_, 90, std::to_string(pts.size()));
    group(entities_, 70, closed ? "1" : "0");
    group(entities_, 43, Num(0));
    for (const auto& p : pts) {
      group(entities_, 10, Num(p.first));
      group(entities_, 20, Num(p.second));
    }
    return *this;
  }
  entityHead("POLYLINE", layer, nullptr);
  group(entities_, 66, "1");
  group(entities_, 10, Num(0));
  group(entities_, 20, Num(0));
  group(entities_, 30, Num(0));
  group(entities_, 70, closed ? "1" : "0");
  for (const auto& p : pts) {
    entityHead("VERTEX", layer, nullptr);
    group(entities_, 10, Num(p.first));
    group(entities_, 20, Num(p.second));
    group(entities_, 30, Num(0));
  }
  entityHead("SEQEND", layer, nullptr);
  return *this;
}

DxfText& DxfText::HeavyPolyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts) {
  entityHead("POLYLINE", layer, "AcDb2dPolyline");
  group(entities_, 66, "1");
  group(entities_, 10, Num(0));
  group(entities_, 20, Num(0));
  group(entities_, 30, Num(0));
  group(entities_, 70, "1");
  for (const auto& p : pts) {
    entityHead("VERTEX", layer, "AcDbVertex");
    group(entities_, 100, "AcDb2dVertex");
    group(entities_, 10, Num(p.first));
    group(entities_, 20, Num(p.second));
    group(entities_, 30, Num(0));
  }
  char h[16];
  snprintf(h, sizeof h, "%X", handle_++);
  group(entities_, 0, "SEQEND");
  group(entities_, 5, h);
  group(entities_, 330, "1F");
  group(entities_, 100, "AcDbEntity");
  group(entities_, 8, layer);
  return *this;
}

DxfText& DxfText::Raw(const std::string& lines) {
  entities_ += lines;
  return *this;
}

std::string DxfText::Str(bool crlf) const {
  std::string out;
  if (!version_.empty()) {
    group(out, 0, "SECTION");
    group(out, 2, "HEADER");
    group(out, 9, "$ACADVER");
    group(out, 1, version_);
    group(out, 0, "ENDSEC");
  }
  group(out, 0, "SECTION");
  group(out, 2, "TABLES");
  group(out, 0, "TABLE");
  group(out, 2, "LAYER");
  if (Is2000()) {
    group(out, 5, "2");
    group(out, 100, "AcDbSymbolTable");
  }
  group(out, 70, std::to_string(layers_.size()));
  int h = 0x10;
  for (const auto& name : layers_) {
    group(out, 0, "LAYER");
    if (Is2000()) {
      char hb[16];
      snprintf(hb, sizeof hb, "%X", h++);
      group(out, 5, hb);
      group(out, 330, "2");
      group(out, 100, "AcDbSymbolTableRecord");
      group(out, 100, "AcDbLayerTableRecord");
    }
    group(out, 2, name);
    group(out, 70, "0");
    group(out, 62, "7");
    group(out, 6, "CONTINUOUS");
  }
  group(out, 0, "ENDTAB");
  group(out, 0, "ENDSEC");
  group(out, 0, "SECTION");
  group(out, 2, "ENTITIES");
  out += entities_;
  group(out, 0, "ENDSEC");
  if (Is2000()) {
    group(out, 0, "SECTION");
    group(out, 2, "OBJECTS");
    group(out, 0, "DICTIONARY");
    group(out, 5, "C");
    group(out, 330, "0");
    group(out, 100, "AcDbDictionary");
    group(out, 3, "ACAD_GROUP");
    group(out, 350, "D");
    group(out, 0, "ENDSEC");
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
