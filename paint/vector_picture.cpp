// The vector picture reader: text -> palette, commands, parameters -> drawing calls on a sink.
// Malformed pictures never fail; they simply draw less.
#include "paint/vector_picture.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"

namespace zv {
namespace {

// Both of an angle in radians (|angle| well below 2^63). On 32-bit x86 the FPU's one instruction
// does it: the C library's sine and cosine would be most of a kilobyte of installer for the
// vertices of a star.
void SineAndCosine(double angle, double& sine, double& cosine) {
#if defined(__i386__)
  __asm__("fsincos" : "=t"(cosine), "=u"(sine) : "0"(angle));
#else
  sine = std::sin(angle);
  cosine = std::cos(angle);
#endif
}

// One-character digits "0".."@" are 0..16; two-character digits use "A".."x" (base 55).
constexpr int kOneCharFirst = 48;
constexpr int kOneCharLast = 64;
constexpr int kTwoCharFirst = 65;
constexpr int kTwoCharLast = 120;
constexpr int kDigitBase = 55;
constexpr int kTwoCharBias = 1000;

// The angle factor the notation has always used (3.1415926 / 180, not quite pi / 180); the
// stored pictures' star and polygon vertices depend on it.
constexpr double kDegreesToRadians = 0.017453292222222222;

int Code(char c) { return static_cast<unsigned char>(c); }

bool IsTwoCharDigit(int code) { return code >= kTwoCharFirst && code <= kTwoCharLast; }

int FloorDiv(int a, int b) {
  int q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
int FloorMod(int a, int b) { return a - FloorDiv(a, b) * b; }

// Number of points in a list of `values` coordinate values: pairs, an odd count rounded half
// to even (7 values -> 3 points, 9 -> 5 with the missing y read as 0).
std::size_t PointCount(long values) {
  long n = RoundHalfEven(values / 2.0 - 1.0) + 1;
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// Reads one digit of the parameter encoding at text[i], advancing i. A two-character digit
// whose second character is missing or out of range has the low digit 0; such a second
// character is consumed all the same.
int ReadDigit(std::string_view text, std::size_t& i) {
  int first = Code(text[i++]);
  if (!IsTwoCharDigit(first)) return first - kOneCharFirst;
  int low = 0;
  if (i < text.size()) {
    int second = Code(text[i++]);
    if (IsTwoCharDigit(second)) low = second - kTwoCharFirst;
  }
  return (first - kTwoCharFirst) * kDigitBase + low - kTwoCharBias;
}

// A raw two-character value (no bias) as stored in a point of a previous command.
int RawPair(char hi, char lo) {
  return (Code(hi) - kTwoCharFirst) * kDigitBase + (Code(lo) - kTwoCharFirst);
}
void AppendRawPair(std::string& out, int v) {
  out += static_cast<char>(FloorDiv(v, kDigitBase) + kTwoCharFirst);
  out += static_cast<char>(FloorMod(v, kDigitBase) + kTwoCharFirst);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Keeps the last remembered value of one style setting; empty = not applied yet / forgotten.
template <typename T>
bool Changed(std::optional<T>& memory, const T& value) {
  if (memory == value) return false;
  memory = value;
  return true;
}

class Painter {
 public:
  Painter(PictureSink& sink, const PicturePalette& palette, float x, float y, float width,
          float height)
      : sink_(sink), palette_(palette), x_(x), y_(y), w_(width), h_(height) {}

  void Draw(std::string_view command, const std::vector<int>& p) {
    p_ = &p;
    last_ = static_cast<long>(p.size()) - 1;
    switch (command[0]) {
      case 'a': OutlineStyle(); DrawLinesOrPolygon(); break;
      case 'b': ShortStyle(); DrawRectangle(); break;
      case 'c': ShortStyle(); sink_.SmoothEllipse(X(P(4)), Y(P(5)), SizeX(P(6)), SizeY(P(7))); break;
      case 'd': OutlineStyle(); DrawPie(); break;
      case 'e': ShortStyle(); DrawStar(); break;
      case 'f': OutlineStyle(); DrawBeziers(); break;
      case 'g': OutlineStyle(); DrawSpline(); break;
      case 'h': OutlineStyle(); DrawCompoundPath(); break;
      case 'i': ShortStyle(); DrawText(command); break;
      default: break;  // unknown letters change nothing
    }
  }

 private:
  int P(long k) const {
    return k >= 0 && k <= last_ ? (*p_)[static_cast<std::size_t>(k)] : 0;
  }
  float X(int v) const { return static_cast<float>(x_ + w_ * v / 1000.0); }
  float Y(int v) const { return static_cast<float>(y_ + h_ * v / 1000.0); }
  float SizeX(int v) const { return static_cast<float>(w_ * v / 1000.0); }
  float SizeY(int v) const { return static_cast<float>(h_ * v / 1000.0); }
  PicturePoint Point(long k) const { return {X(P(k)), Y(P(k + 1))}; }

  std::vector<PicturePoint> Points(long first, std::size_t count) const {
    std::vector<PicturePoint> points(count);
    for (std::size_t k = 0; k < count; ++k) points[k] = Point(first + 2 * static_cast<long>(k));
    return points;
  }

  uint32_t Colour(int index) const { return palette_[static_cast<std::size_t>(std::clamp(index, 0, 16))]; }

  void Fill(int index) {
    int i = std::clamp(index, 0, 16);
    if (Changed(fill_, i)) sink_.SetSmoothBrush(Colour(i));
  }

  // A new pen starts with flat caps, no dash and miter joins, so everything remembered about
  // the old pen is forgotten and applied again when a command asks for it.
  void Line(int index, int width) {
    int j = std::clamp(index, 0, 16);
    if (lineIndex_ == j && lineWidth_ == width) return;
    lineIndex_ = j;
    lineWidth_ = width;
    startCap_.reset();
    endCap_.reset();
    arrows_.reset();
    dash_.reset();
    join_.reset();
    sink_.SetSmoothPen(SizeX(width), Colour(j));
  }

  void DashAndJoin(int s) {
    if (Changed(dash_, FloorDiv(s, 3))) sink_.SetPenDashStyle(*dash_);
    if (Changed(join_, FloorMod(s, 3))) sink_.SetPenLineJoin(*join_);
  }

  void ShortStyle() {
    Fill(P(1));
    Line(P(2), P(3));
  }

  void OutlineStyle() {
    Fill(P(1));
    Line(P(5), P(6));
    if (Changed(startCap_, P(7))) sink_.SetPenStartCap(*startCap_);
    if (Changed(endCap_, P(8))) sink_.SetPenEndCap(*endCap_);
    std::array<int, 5> arrows = {P(9), P(10), P(11), P(12), P(13)};
    if (Changed(arrows_, arrows)) {
      // A side without an arrowhead gets its plain cap back.
      if (arrows[0] == 0 && arrows[1] == 0) sink_.SetPenEndCap(*endCap_);
      if (arrows[3] == 0 && arrows[4] == 0) sink_.SetPenStartCap(*startCap_);
      sink_.SetArrowCaps(arrows[0] / 10.0f, arrows[1] / 10.0f, arrows[2] != 0, arrows[3] / 10.0f,
                         arrows[4] / 10.0f);
    }
    DashAndJoin(P(4));
  }

  void DrawLinesOrPolygon() {
    if (last_ < 16) return;
    if (last_ <= 18) {
      sink_.SmoothLine(X(P(14)), Y(P(15)), X(P(16)), Y(P(17)));
      return;
    }
    std::vector<PicturePoint> points = Points(14, PointCount(last_ - 13));
    if (P(3) != 0)
      sink_.SmoothPolygon(points, P(2));
    else
      sink_.DrawLines(points);
  }

  void DrawRectangle() {
    float w = SizeX(P(9));
    float h = SizeY(P(10));
    int cornerX = P(4);
    int cornerY = P(5);
    if (P(6) > 0 && (cornerX > 0 || cornerY > 0)) {
      if (cornerX == 0) cornerX = 1;
      if (cornerY == 0) cornerY = 1;
      sink_.SmoothRoundRect(X(P(7)), Y(P(8)), w, h, static_cast<float>(double(w) * cornerX / 100),
                            static_cast<float>(double(h) * cornerY / 100), P(6));
    } else {
      sink_.SmoothRect(X(P(7)), Y(P(8)), w, h);
    }
  }

  void DrawPie() {
    float x = X(P(14)), y = Y(P(15)), w = SizeX(P(16)), h = SizeY(P(17));
    float start = static_cast<float>(P(18)), sweep = static_cast<float>(P(19));
    if (P(3) != 0) {
      sink_.FillPie(x, y, w, h, start, sweep);
      sink_.DrawPie(x, y, w, h, start, sweep);
    } else {
      sink_.SmoothPie(x, y, w, h, start, sweep);
    }
  }

  // Regular polygon (indentation 0) or star: every second vertex pulled towards the centre.
  void DrawStar() {
    DashAndJoin(P(6));
    int n = std::clamp(P(7), 3, 360);
    double rx = w_ * P(11) / 2000.0;
    double ry = h_ * P(12) / 2000.0;
    double cx = x_ + w_ * P(9) / 1000.0 + rx;
    double cy = y_ + h_ * P(10) / 1000.0 + ry;
    double fx = (100 - P(4)) * 0.01;
    double fy = (100 - P(5)) * 0.01;
    double a = P(8);
    double step = 360.0 / n;
    std::vector<PicturePoint> vertices(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
      if (a > 360) a -= 360;
      double theta = a * kDegreesToRadians;
      a += step;
      double sx = (k % 2 == 0) ? 1.0 : fx;
      double sy = (k % 2 == 0) ? 1.0 : fy;
      double sine, cosine;
      SineAndCosine(theta, sine, cosine);
      vertices[static_cast<std::size_t>(k)] = {static_cast<float>(cx + sx * rx * cosine),
                                               static_cast<float>(cy + sy * ry * sine)};
    }
    sink_.SmoothPolygon(vertices, 0);
  }

  void DrawBeziers() {
    sink_.NewPath(P(2));
    std::size_t n = PointCount(last_ - 13);
    // A start point and three points per segment; any other count adds nothing.
    if (n >= 4 && (n - 1) % 3 == 0) sink_.AddPathBeziers(Points(14, n));
    if (P(3) != 0) sink_.ClosePathFigure();
    sink_.FillDrawPath();
  }

  void DrawSpline() {
    float tension = P(14) / 100.0f;
    std::size_t n = PointCount(last_ - 14);
    if (n < 2) return;
    std::vector<PicturePoint> points = Points(15, n);
    sink_.FillClosedCurve2(points, tension, P(2));
    if (P(3) != 0)
      sink_.DrawClosedCurve2(points, tension);
    else
      sink_.DrawCurve2(points, tension);
  }

  void DrawCompoundPath() {
    if (last_ < 18) return;
    PicturePoint current = Point(14);
    sink_.NewPath(P(2));
    for (long i = 16; i <= last_;) {
      int code = P(i);
      long values = code == 0 ? 2 : code == 2 ? 6 : (code == 1 || code == 3 || code == 4) ? 4 : 0;
      if (i + values > last_) break;
      switch (code) {
        case 0: {
          PicturePoint end = Point(i + 1);
          sink_.AddPathLine(current.x, current.y, end.x, end.y);
          current = end;
          break;
        }
        case 1: {
          PicturePoint points[3] = {current, Point(i + 1), Point(i + 3)};
          sink_.AddPathCurve(points);
          current = points[2];
          break;
        }
        case 2: {
          PicturePoint c1 = Point(i + 1), c2 = Point(i + 3), end = Point(i + 5);
          sink_.AddPathBezier(current.x, current.y, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
          current = end;
          break;
        }
        case 3:
        case 4: {
          PicturePoint a = Point(i + 1), b = Point(i + 3);
          float left = std::min(a.x, b.x), top = std::min(a.y, b.y);
          float w = std::max(a.x, b.x) - left, h = std::max(a.y, b.y) - top;
          if (code == 3)
            sink_.AddPathRectangle(left, top, w, h);
          else
            sink_.AddPathEllipse(left, top, w, h);
          break;
        }
        default: break;  // unknown element: skipped
      }
      i += values + 1;
    }
    if (P(3) != 0) sink_.ClosePathFigure();
    sink_.FillDrawPath();
  }

  void DrawText(std::string_view command) {
    std::string_view run;
    int length = P(12), position = P(13);
    if (length > 0 && position >= 1 && static_cast<std::size_t>(position - 1) < command.size())
      run = command.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length));
    std::size_t comma = run.find(',');
    std::string_view face = comma == std::string_view::npos ? std::string_view() : run.substr(0, comma);
    std::string_view text = comma == std::string_view::npos ? run : run.substr(comma + 1);
    DashAndJoin(P(4));
    auto flag = [](int v) { return (v & 0xFF) != 0; };
    sink_.SetPathFont(face, static_cast<float>(w_ * P(5) / 500.0), flag(P(6)), flag(P(7)),
                      flag(P(9)), flag(P(8)));
    sink_.PathText(X(P(10) - 50), Y(P(11) - 50), static_cast<float>(3 * w_),
                   static_cast<float>(3 * h_), text);
  }

  PictureSink& sink_;
  const PicturePalette& palette_;
  double x_, y_, w_, h_;
  const std::vector<int>* p_ = nullptr;
  long last_ = 0;
  // Style memories: what was last applied to the sink's brush and pen.
  std::optional<int> fill_, lineIndex_, lineWidth_, startCap_, endCap_, dash_, join_;
  std::optional<std::array<int, 5>> arrows_;
};

}  // namespace

uint32_t ParsePictureHex(std::string_view item) {
  uint32_t value = 0;
  for (char c : item) {
    int d = HexDigit(c);
    if (d < 0) break;
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  return value;
}

PicturePalette ReadPicturePalette(std::string_view picture, std::string_view overrides,
                                  std::string_view* commands) {
  PicturePalette palette = kDefaultPicturePalette;
  std::string_view rest = picture;
  if (!rest.empty() && rest[0] == '{') {
    std::size_t close = rest.find('}');
    rest = close == std::string_view::npos ? std::string_view() : rest.substr(close + 1);
  }
  if (!rest.empty() && rest[0] == '(') {
    std::size_t close = rest.find(')');
    std::string_view list = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    rest = close == std::string_view::npos ? std::string_view() : rest.substr(close + 1);
    for (std::size_t k = 1; k <= 16; ++k) {
      std::size_t comma = list.find(',');
      std::string_view item = list.substr(0, comma);
      if (!item.empty()) palette[k] = ParsePictureHex(item);  // an empty item keeps the default
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
  }
  // Overrides: an empty item clears its entry; an item counts only if it starts before the
  // list's last character.
  std::size_t start = 0;
  for (std::size_t k = 1; k <= 16 && start + 1 < overrides.size(); ++k) {
    std::size_t comma = overrides.find(',', start);
    std::string_view item = overrides.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    palette[k] = item.empty() ? 0 : ParsePictureHex(item);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (commands) *commands = rest;
  return palette;
}

std::string ExpandPictureCommand(std::string_view command,
                                 std::optional<std::string_view> previous) {
  std::string text(command);
  if (!previous || text.empty()) return text;
  // Prefix copy: "x*c" takes c - 47 characters after the previous command's letter.
  if (text.size() >= 2 && text[1] == '*') {
    int count = text.size() >= 3 ? Code(text[2]) - 47 : 0;
    std::string expanded(1, text[0]);
    std::string_view source = previous->substr(std::min<std::size_t>(1, previous->size()));
    expanded.append(source.substr(0, static_cast<std::size_t>(std::max(count, 0))));
    if (text.size() > 3) expanded.append(text, 3);
    text = std::move(expanded);
  }
  // Point repeat: "%" n dx dy -> the previous command's last n points, moved by (dx, dy).
  if (text[0] != 'i') {
    std::size_t percent = text.find('%', 1);
    if (percent != std::string::npos) {
      std::size_t i = percent + 1;
      int n = i < text.size() ? Code(text[i++]) - kOneCharFirst : 0;
      int dx = i < text.size() ? ReadDigit(text, i) : 0;
      int dy = i < text.size() ? ReadDigit(text, i) : 0;
      // Only whole points of the previous command's parameters are taken (never its letter).
      std::size_t available = previous->empty() ? 0 : (previous->size() - 1) / 4;
      std::size_t points = std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), available);
      std::string_view source = previous->substr(previous->size() - 4 * points);
      text.resize(percent);
      for (std::size_t k = 0; k < points; ++k) {
        const char* point = source.data() + 4 * k;
        AppendRawPair(text, RawPair(point[0], point[1]) + dx);
        AppendRawPair(text, RawPair(point[2], point[3]) + dy);
      }
    }
  }
  return text;
}

std::vector<int> ReadPictureParameters(std::string_view command) {
  std::vector<int> p;
  if (command.empty()) return p;
  p.resize(1, Code(command[0]));
  std::size_t position = 1;  // where the next parameter goes
  auto store = [&](std::size_t index, int value) {
    if (p.size() <= index) p.resize(index + 1, 0);
    p[index] = value;
  };
  for (std::size_t i = 1; i < command.size();) {
    int c = Code(command[i]);
    if ((c >= kOneCharFirst && c <= kOneCharLast) || IsTwoCharDigit(c)) {
      store(position++, ReadDigit(command, i));
    } else if (c == '.') {
      ++i;
      if (i < command.size()) {
        int skip = Code(command[i++]) - kOneCharFirst;
        if (skip > 0) position += static_cast<std::size_t>(skip);  // a negative skip never goes back
      }
    } else if (c == '&') {
      // Text run: its 1-based position within the command is recorded in the current slot; the
      // run (with whatever it contains) ends the command.
      store(position, static_cast<int>(i + 2));
      return p;
    } else {
      ++i;  // any other character is ignored
    }
  }
  p.resize(position, 0);  // trailing skipped positions count as read zeros
  return p;
}

PictureStatus ReadVectorPicture(std::string_view picture, float x, float y, float width,
                                float height, std::string_view overrides, PictureSink& sink) {
  if (picture.empty() || !(width >= 1) || !(height >= 1)) return PictureStatus::kNothing;
  if (picture.size() > kMaxPictureLength) return PictureStatus::kTooLong;
  sink.SetClip(x, y, width, height);
  std::string_view commands;
  PicturePalette palette = ReadPicturePalette(picture, overrides, &commands);
  Painter painter(sink, palette, x, y, width, height);
  std::string previous;
  bool hasPrevious = false;
  for (;;) {
    std::size_t plus = commands.find('+');
    std::string_view command = commands.substr(0, plus);
    if (command.empty()) {
      hasPrevious = false;  // an empty command resets the shorthands
    } else {
      std::string expanded = ExpandPictureCommand(
          command, hasPrevious ? std::optional<std::string_view>(previous) : std::nullopt);
      std::vector<int> p = ReadPictureParameters(expanded);
      painter.Draw(expanded, p);
      previous = std::move(expanded);
      hasPrevious = true;
    }
    if (plus == std::string_view::npos) break;
    commands.remove_prefix(plus + 1);
  }
  sink.ResetClip();
  return PictureStatus::kDrawn;
}

}  // namespace zv
