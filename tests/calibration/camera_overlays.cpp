#include "camera_overlays.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orb::test {
namespace {

constexpr float kPi = 3.14159265f;

const int kFonts[] = {cv::FONT_HERSHEY_SIMPLEX, cv::FONT_HERSHEY_PLAIN, cv::FONT_HERSHEY_DUPLEX,
                      cv::FONT_HERSHEY_COMPLEX, cv::FONT_HERSHEY_TRIPLEX};
const char* const kNames[] = {"CAM01", "My Camera", "IPC-3 LOBBY", "DECK 2 AFT", "Channel 04", "PTZ-12"};

struct Style {
  int font = cv::FONT_HERSHEY_SIMPLEX;
  double scale = 1;
  int thickness = 1;
  cv::Scalar colour;
  bool boxed = false;
};

Style text_style(int picture_height, float size_share, std::mt19937& rng) {
  Style s;
  s.font = kFonts[rng() % std::size(kFonts)];
  const float target = size_share * static_cast<float>(picture_height);
  int base = 0;
  const cv::Size one = cv::getTextSize("0", s.font, 1.0, 1, &base);
  s.scale = target / static_cast<float>(one.height);
  s.thickness = std::max(1, static_cast<int>(std::lround(target / uniform(rng, 9, 16))));
  s.colour = rng() % 4 == 0 ? cv::Scalar(40, 230, 240) : cv::Scalar::all(uniform(rng, 220, 255));
  s.boxed = rng() % 5 < 2;
  return s;
}

// Text with its top-left corner at (x, y).
void put(cv::Mat& picture, const std::string& text, int x, int y, const Style& s) {
  int base = 0;
  const cv::Size size = cv::getTextSize(text, s.font, s.scale, s.thickness, &base);
  if (s.boxed) {
    const int pad = std::max(2, size.height / 4);
    cv::rectangle(picture, cv::Rect(x - pad, y - pad, size.width + 2 * pad, size.height + base + 2 * pad),
                  cv::Scalar::all(12), cv::FILLED);
  }
  cv::putText(picture, text, {x, y + size.height}, s.font, s.scale, s.colour, s.thickness, cv::LINE_AA);
}

cv::Size text_size(const std::string& text, const Style& s) {
  int base = 0;
  cv::Size size = cv::getTextSize(text, s.font, s.scale, s.thickness, &base);
  size.height += base;
  return size;
}

std::string date_time(std::mt19937& rng) {
  char text[64];
  auto pick = [&](unsigned range) { return static_cast<unsigned>(rng() % range); };
  std::snprintf(text, sizeof text, "20%02u-%02u-%02u %02u:%02u:%02u", 10 + pick(16), 1 + pick(12), 1 + pick(28),
                pick(24), pick(60), pick(60));
  return text;
}

}  // namespace

float uniform(std::mt19937& rng, float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }

cv::Mat distance_map(int width, int height, float cx, float cy) {
  cv::Mat d(height, width, CV_32F);
  for (int y = 0; y < height; ++y) {
    auto* row = d.ptr<float>(y);
    for (int x = 0; x < width; ++x) row[x] = std::hypot(static_cast<float>(x) - cx, static_cast<float>(y) - cy);
  }
  return d;
}

void burn_text(cv::Mat& picture, const Rim& rim, bool across_rim, std::mt19937& rng) {
  const int w = picture.cols, h = picture.rows;
  const Style style = text_style(h, uniform(rng, 0.02f, 0.05f), rng);
  const int margin_x = static_cast<int>(uniform(rng, 0.01f, 0.03f) * static_cast<float>(w));
  const int margin_y = static_cast<int>(uniform(rng, 0.01f, 0.03f) * static_cast<float>(h));
  const std::string texts[2] = {date_time(rng), kNames[rng() % std::size(kNames)]};
  // Two or three of the four corners.
  const int first = static_cast<int>(rng() % 4), corners = 2 + static_cast<int>(rng() % 2);
  for (int k = 0; k < corners; ++k) {
    const int corner = (first + k) % 4;
    const std::string& text = texts[k % 2];
    const cv::Size size = text_size(text, style);
    const int x = corner % 2 ? w - margin_x - size.width : margin_x;
    const int y = corner / 2 ? h - margin_y - size.height : margin_y;
    put(picture, text, x, y, style);
  }
  if (!across_rim) return;
  // A line from the surround over the rim: at the side or at the top.
  const std::string line = rng() % 2 ? "Camera 1  " + texts[0] : texts[1] + " - north gate";
  const cv::Size size = text_size(line, style);
  if (rng() % 2) {
    const float dy = uniform(rng, -0.6f, 0.6f) * rim.radius;
    const float edge = rim.cx - std::sqrt(rim.radius * rim.radius - dy * dy);
    const int x = std::max(2, static_cast<int>(edge - uniform(rng, 0.3f, 0.7f) * static_cast<float>(size.width)));
    put(picture, line, x, static_cast<int>(rim.cy + dy) - size.height / 2, style);
  } else {
    const float dx = uniform(rng, -0.5f, 0.2f) * rim.radius;
    const float top = rim.cy - std::sqrt(rim.radius * rim.radius - dx * dx);
    const int y = std::max(2, static_cast<int>(top) - size.height / 2);
    put(picture, line, static_cast<int>(rim.cx + dx), y, style);
  }
}

void burn_clock(cv::Mat& picture, int second, const std::string& name, float size_share) {
  const int h = picture.rows, w = picture.cols;
  Style s;
  s.scale = size_share * static_cast<float>(h) / 22.0f;
  s.thickness = std::max(1, static_cast<int>(s.scale * 2));
  s.colour = cv::Scalar::all(240);
  char text[64];
  std::snprintf(text, sizeof text, "2016-09-09 14:%02d:%02d", 48 + second / 60, 5 + second % 60);
  put(picture, text, w / 50, h / 40, s);
  const cv::Size size = text_size(name, s);
  put(picture, name, w - w / 50 - size.width, h - h / 40 - size.height, s);
}

void add_halo(cv::Mat& picture, const Rim& rim, std::mt19937& rng) {
  const float width = rim.radius * uniform(rng, 0.01f, 0.04f);
  const float gap = rng() % 5 < 2 ? uniform(rng, 1.0f, 2.0f) : 0.0f;
  const float level = uniform(rng, 60, 170), tilt = uniform(rng, 0, 2 * kPi);
  const cv::Vec3f tint(1.0f, uniform(rng, 0.75f, 0.9f), uniform(rng, 0.45f, 0.65f));
  const float from = rim.radius + gap, to = from + width;
  for (int y = std::max(0, static_cast<int>(rim.cy - to) - 1);
       y < std::min(picture.rows, static_cast<int>(rim.cy + to) + 2); ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    for (int x = 0; x < picture.cols; ++x) {
      const float dx = static_cast<float>(x) - rim.cx, dy = static_cast<float>(y) - rim.cy;
      const float d = std::hypot(dx, dy);
      if (d < from || d >= to) continue;
      // Rises within a pixel or two, then fades outward; brighter on one side.
      const float t = (d - from) / width;
      const float glow = std::min(1.0f, (d - from + 0.5f) / 1.5f) * std::exp(-3.0f * t);
      const float side = 0.6f + 0.4f * std::cos(std::atan2(dy, dx) - tilt);
      row[x] += tint * (level * glow * side);
    }
  }
}

void add_fringe(cv::Mat& picture, const Rim& rim, std::mt19937& rng) {
  // Lateral colour: blue (and a little red, for purple) drawn further out
  // than green, so the picture's outer 2-3 px hold blue and red alone.
  const float blue_shift = uniform(rng, 2.0f, 3.0f), red_shift = blue_shift * uniform(rng, 0.0f, 0.6f);
  const float boost = uniform(rng, 1.0f, 1.4f);
  const cv::Mat source = picture.clone();
  for (int y = std::max(0, static_cast<int>(rim.cy - rim.radius) - 1);
       y < std::min(picture.rows, static_cast<int>(rim.cy + rim.radius) + 2); ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    for (int x = 0; x < picture.cols; ++x) {
      const float dx = static_cast<float>(x) - rim.cx, dy = static_cast<float>(y) - rim.cy;
      const float d = std::hypot(dx, dy);
      if (d < 0.8f * rim.radius || d >= rim.radius) continue;
      // Each channel sampled nearer the centre by its shift at the rim.
      auto from = [&](int channel, float shift) {
        const float k = 1.0f - shift / rim.radius;
        const int sx = std::clamp(static_cast<int>(std::lround(rim.cx + dx * k)), 0, picture.cols - 1);
        const int sy = std::clamp(static_cast<int>(std::lround(rim.cy + dy * k)), 0, picture.rows - 1);
        return source.at<cv::Vec3f>(sy, sx)[channel];
      };
      const float green_edge = rim.radius - blue_shift;
      // Purple fringing lights the blue channel wherever the picture is bright, whatever its hue.
      const float lit = 0.114f * from(0, blue_shift) + 0.587f * from(1, blue_shift) + 0.299f * from(2, blue_shift);
      const float blue = d >= green_edge ? std::max(from(0, blue_shift), 0.9f * lit) * boost : from(0, blue_shift);
      row[x][0] = std::min(255.0f, blue);
      row[x][2] = d < rim.radius - blue_shift + red_shift ? from(2, red_shift) : 0.0f;
      if (d >= green_edge) row[x][1] = 0;
    }
  }
}

void darken_rim_sector(cv::Mat& picture, const Rim& rim, std::mt19937& rng) {
  const float start = uniform(rng, 0, 2 * kPi), span = uniform(rng, 100, 140) * kPi / 180;
  const float floor = uniform(rng, 0.0f, 0.06f), soft = 10 * kPi / 180;
  for (int y = 0; y < picture.rows; ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    for (int x = 0; x < picture.cols; ++x) {
      const float dx = static_cast<float>(x) - rim.cx, dy = static_cast<float>(y) - rim.cy;
      const float d = std::hypot(dx, dy);
      if (d < 0.6f * rim.radius || d >= rim.radius) continue;
      float a = std::atan2(dy, dx) - start;
      while (a < 0) a += 2 * kPi;
      // Inside the sector (with soft angular ends) and outside 0.6-0.7 r.
      const float along = std::clamp(std::min(a, span - a) / soft + 0.5f, 0.0f, 1.0f) * (a <= span + soft);
      const float across = std::clamp((d / rim.radius - 0.6f) / 0.1f, 0.0f, 1.0f);
      const float k = along * across;
      row[x] *= 1.0f - k * (1.0f - floor);
    }
  }
}

void add_sea(cv::Mat& picture, const Rim& rim, std::mt19937& rng) {
  const cv::Vec3f water(uniform(rng, 60, 110), uniform(rng, 25, 45), uniform(rng, 5, 15));
  const float from = uniform(rng, 10, 25) * kPi / 180, to = uniform(rng, 155, 170) * kPi / 180;
  const float waves = uniform(rng, 0.05f, 0.15f) * rim.radius;
  for (int y = 0; y < picture.rows; ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    for (int x = 0; x < picture.cols; ++x) {
      const float dx = static_cast<float>(x) - rim.cx, dy = static_cast<float>(y) - rim.cy;
      const float d = std::hypot(dx, dy);
      const float a = std::atan2(dy, dx);
      if (d < 0.55f * rim.radius || d >= rim.radius || a < from || a > to) continue;
      const float ripple =
          1.0f + 0.15f * std::sin(static_cast<float>(y) / waves * 6.283f + std::sin(static_cast<float>(x) / waves));
      row[x] = water * ripple;
    }
  }
}

cv::Mat test_pattern(int width, int height, const Rim& rim, std::mt19937& rng) {
  cv::Mat picture(height, width, CV_32FC3, cv::Scalar::all(uniform(rng, 0, 10)));
  const float level = uniform(rng, 190, 255);
  const cv::Vec3f bars[] = {{1, 1, 1}, {0, 1, 1}, {1, 1, 0}, {0, 1, 0}, {1, 0, 1}, {0, 0, 1}, {1, 0, 0}, {0, 0, 0}};
  const float square = rim.radius / uniform(rng, 5, 10);
  for (int y = 0; y < height; ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    const float v = (static_cast<float>(y) - (rim.cy - rim.radius)) / (2 * rim.radius);  // 0..1 down the circle
    for (int x = 0; x < width; ++x) {
      const float dx = static_cast<float>(x) - rim.cx, dy = static_cast<float>(y) - rim.cy;
      if (dx * dx + dy * dy >= rim.radius * rim.radius) continue;
      const float u = (dx + rim.radius) / (2 * rim.radius);
      if (v < 0.38f) {
        row[x] = bars[std::clamp(static_cast<int>(u * 8), 0, 7)] * level;
      } else if (v < 0.72f) {
        const bool white = (static_cast<int>(std::floor(dx / square)) + static_cast<int>(std::floor(dy / square))) & 1;
        row[x] = cv::Vec3f::all(white ? level : 16);
      } else {
        row[x] = cv::Vec3f::all(16 + (level - 16) * u);
      }
    }
  }
  return picture;
}

void add_clutter(cv::Mat& picture, const Rim& rim, std::mt19937& rng) {
  cv::Mat shapes = picture.clone();
  const int count = 60 + static_cast<int>(rng() % 60);
  for (int i = 0; i < count; ++i) {
    const float a = uniform(rng, 0, 2 * kPi), d = rim.radius * std::sqrt(uniform(rng, 0, 1));
    const cv::Point at(static_cast<int>(rim.cx + d * std::cos(a)), static_cast<int>(rim.cy + d * std::sin(a)));
    const cv::Scalar colour(uniform(rng, 0, 255), uniform(rng, 0, 255), uniform(rng, 0, 255));
    const int size = std::max(2, static_cast<int>(rim.radius * uniform(rng, 0.02f, 0.15f)));
    if (rng() % 2) {
      cv::rectangle(shapes, cv::Rect(at.x - size / 2, at.y - size / 2, size, size / 2 + 1), colour, cv::FILLED);
    } else {
      const cv::Point to(at.x + static_cast<int>(uniform(rng, -2, 2) * static_cast<float>(size)),
                         at.y + static_cast<int>(uniform(rng, -2, 2) * static_cast<float>(size)));
      cv::line(shapes, at, to, colour, std::max(1, size / 8), cv::LINE_AA);
    }
  }
  // Only the picture inside the circle changes.
  shapes.copyTo(picture, distance_map(picture.cols, picture.rows, rim.cx, rim.cy) < rim.radius);
}

void soften(cv::Mat& picture, std::mt19937& rng) {
  const double sigma = uniform(rng, 0.5f, 1.5f);
  cv::GaussianBlur(picture, picture, cv::Size(0, 0), sigma);
}

}  // namespace orb::test
