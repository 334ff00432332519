// render-picture: paints a VectorPicture on an offscreen page canvas and saves it as a PNG, to
// look at pictures while drawing them.
//
//   render-picture [--scale S] [--face] TEXT_OR_FILE OUT.png [W H] [OVERRIDE]
//
// TEXT_OR_FILE is the picture itself or a file holding it (8-bit text, one line); W x H is the
// design size of the box (default 110 x 110), S the DPI scale (default 1.0), OVERRIDE a colour
// override list such as "FF00008B". The background is white, or the button face with --face.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "paint/canvas.h"
#include "paint/gdiplus_api.h"
#include "paint/picture_painter.h"

namespace zv {
namespace {

constexpr int kUsage = 1, kNoGdiplus = 2, kNotSaved = 3, kNoInput = 4;

std::string Narrow(const wchar_t* text, UINT codePage) {
  int n = ::WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

bool ReadWholeFile(const wchar_t* path, std::string& out) {
  FileHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 24)) return false;
  out.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!out.empty() && !::ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr)) {
    return false;
  }
  out.resize(read);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return true;
}

// Saving images is this tool's own business: it imports those GDI+ functions itself, so that the
// installer's run-time table (paint/gdiplus_api.h) carries only what the installer draws with.
namespace gdip = Gdiplus::DllExports;

struct ImageTraits {
  using Value = Gdiplus::GpImage*;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { gdip::GdipDisposeImage(v); }
};

bool FindPngEncoder(CLSID& clsid) {
  UINT count = 0, bytes = 0;
  if (gdip::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (gdip::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

// Copies the back buffer into a bitmap that no DC holds (GDI+ must not be given a selected
// bitmap) and saves that through GDI+'s PNG encoder.
bool SavePng(const PageCanvas& canvas, const wchar_t* path) {
  CLSID png{};
  if (!canvas.backDc || !FindPngEncoder(png)) return false;
  GdiBitmap copy(::CreateCompatibleBitmap(canvas.backDc.get(), canvas.width, canvas.height));
  {
    MemoryDc dc(::CreateCompatibleDC(canvas.backDc.get()));
    SelectGuard select(dc.get(), copy.get());
    ::BitBlt(dc.get(), 0, 0, canvas.width, canvas.height, canvas.backDc.get(), 0, 0, SRCCOPY);
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (gdip::GdipCreateBitmapFromHBITMAP(copy.get(), nullptr, &bitmap) != Gdiplus::Ok) return false;
  Owned<ImageTraits> image(bitmap);
  return gdip::GdipSaveImageToFile(image.get(), path, &png, nullptr) == Gdiplus::Ok;
}

int Run(int argc, wchar_t** argv) {
  float scale = 1.0f;
  bool face = false;
  std::vector<const wchar_t*> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--scale") == 0 && i + 1 < argc) {
      scale = static_cast<float>(std::wcstod(argv[++i], nullptr));
    } else if (std::wcscmp(argv[i], L"--face") == 0) {
      face = true;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() < 2 || positional.size() == 3 || positional.size() > 5 || !(scale > 0)) {
    std::fputs("usage: render-picture [--scale S] [--face] TEXT_OR_FILE OUT.png [W H] [OVERRIDE]\n",
               stderr);
    return kUsage;
  }
  std::string picture;
  DWORD attributes = ::GetFileAttributesW(positional[0]);
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!ReadWholeFile(positional[0], picture)) {
      std::fputs("render-picture: cannot read the picture file\n", stderr);
      return kNoInput;
    }
  } else {
    picture = Narrow(positional[0], CP_ACP);
  }
  float width = 110, height = 110;
  if (positional.size() >= 4) {
    width = static_cast<float>(std::wcstod(positional[2], nullptr));
    height = static_cast<float>(std::wcstod(positional[3], nullptr));
  }
  std::string override = positional.size() == 5 ? Narrow(positional[4], CP_ACP) : std::string();

  GdiplusSession session;
  if (!session.started()) {
    std::fputs("render-picture: GDI+ is not available\n", stderr);
    return kNoGdiplus;
  }
  int deviceWidth = RoundHalfEven(static_cast<double>(width) * scale);
  int deviceHeight = RoundHalfEven(static_cast<double>(height) * scale);
  if (deviceWidth < 1 || deviceHeight < 1) {
    std::fputs("render-picture: the size must be at least one pixel\n", stderr);
    return kUsage;
  }
  bool saved = false;
  {
    PageCanvas canvas;
    canvas.BeginOffscreenAtScale(deviceWidth, deviceHeight, scale, scale);
    canvas.Clear(face ? ::GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255));
    PaintVectorPicture(canvas, 0, 0, width, height, picture, override);
    saved = SavePng(canvas, positional[1]);
    canvas.End();
  }
  if (!saved) {
    std::fputs("render-picture: could not write the PNG\n", stderr);
    return kNotSaved;
  }
  std::printf("%d x %d pixels, %u characters\n", deviceWidth, deviceHeight,
              static_cast<unsigned>(picture.size()));
  return 0;
}

}  // namespace
}  // namespace zv

int wmain(int argc, wchar_t** argv) { return zv::Run(argc, argv); }
