// ostrel's decisions without a window: its files, the playlist rules and
// the view layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <geometry/calibration_file.h>

#include "app_files.h"
#include "calibration_choice.h"
#include "conversion_job.h"
#include "layouts.h"
#include "play_failure.h"
#include "play_memory.h"
#include "playlist.h"
#include "temp_dir.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

TEST(AppFiles, SettingsRoundTripAndDefaults) {
  orb::test::TempDir dir;
  const fs::path zod = dir.path() / "ZOD.cfg";
  PlayerSettings fresh = read_settings(zod);  // no file yet
  EXPECT_EQ(fresh.play_mode, 0);
  EXPECT_EQ(fresh.current_index, -1);
  ASSERT_TRUE(write_settings(zod, fresh));
  EXPECT_EQ(fs::file_size(zod), 8u);
  std::ifstream in(zod, std::ios::binary);
  char bytes[8];
  in.read(bytes, 8);
  EXPECT_EQ(std::string(bytes, 8), std::string("\0\0\0\0\xff\xff\xff\xff", 8));
  ASSERT_TRUE(write_settings(zod, PlayerSettings{2, 7}));
  EXPECT_EQ(read_settings(zod).play_mode, 2);
  EXPECT_EQ(read_settings(zod).current_index, 7);
  // A short file keeps the default for what it lacks.
  const auto shortfile = dir.write("short.cfg", std::string("\x01\0\0\0", 4));
  EXPECT_EQ(read_settings(shortfile).play_mode, 1);
  EXPECT_EQ(read_settings(shortfile).current_index, -1);
  EXPECT_FALSE(write_settings(dir.path() / "no" / "dir" / "ZOD.cfg", fresh));
}

TEST(AppFiles, PlaylistKeepsOrderAndAnyCharacters) {
  orb::test::TempDir dir;
  const fs::path file = dir.path() / "Playlist.osp";
  const std::vector<std::string> paths = {"/videos/空中 全景.mp4", "/a/b c/клип.MKV", "/x/y.mov"};
  ASSERT_TRUE(write_playlist(file, paths));
  EXPECT_EQ(read_playlist(file), paths);
  EXPECT_FALSE(fs::exists(file.string() + ".part"));
  // Windows line ends and blank lines read the same.
  const auto crlf = dir.write("crlf.osp", "/a.mp4\r\n\r\n/b.mp4\r\n");
  EXPECT_EQ(read_playlist(crlf), (std::vector<std::string>{"/a.mp4", "/b.mp4"}));
  EXPECT_TRUE(read_playlist(dir.path() / "missing.osp").empty());
  // Hostile contents: NUL bytes, broken UTF-8, a megabyte-long line.
  const auto hostile =
      dir.write("hostile.osp", std::string("/a\0b.mp4\n\xff\xfe\n", 12) + std::string(1 << 20, 'x') + "\n");
  const auto lines = read_playlist(hostile);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 8u);
  EXPECT_EQ(lines[2].size(), 1u << 20);
  Playlist filtered;
  EXPECT_EQ(filtered.add(lines, true), 1);  // only the one with a media extension
  // A failed write leaves the old list whole.
  ASSERT_TRUE(write_playlist(file, paths));
  fs::create_directory(file.string() + ".part");  // the scratch name is taken
  EXPECT_FALSE(write_playlist(file, {"/other.mp4"}));
  EXPECT_EQ(read_playlist(file), paths);
}

TEST(AppFiles, PlayAndCameraParameters) {
  orb::test::TempDir dir;
  const auto cfg = dir.write("varozod.cfg",
                             "[play_param]\ncalib_filename=lens.inf\nlogon_fn=logo.png\nneed_logo=1\nlogo_fov=30\n"
                             "[camera_param_3]\npicth=-90,90\nyaw=45\nroll=\n"
                             "[camera_param_1]\npicth= -10.5 , 20\n");
  const PlayParam p = read_play_param(cfg, dir.path());
  EXPECT_EQ(p.calibration_path, (dir.path() / "lens.inf").string());
  EXPECT_EQ(p.logo_path, (dir.path() / "logo.png").string());
  EXPECT_EQ(p.need_logo, 1);
  EXPECT_EQ(p.logo_fov, 30);
  const auto cameras = read_camera_params(cfg);
  EXPECT_EQ(cameras[3].limits[0], -90.0f);
  EXPECT_EQ(cameras[3].limits[1], 90.0f);
  EXPECT_EQ(cameras[3].limits[2], 0.0f);  // "45" has no comma
  EXPECT_EQ(cameras[3].limits[3], 0.0f);
  EXPECT_EQ(cameras[1].limits[0], -10.5f);
  EXPECT_EQ(cameras[1].limits[1], 20.0f);
  // A key the file lacks turns freely, as the shipped defaults do.
  EXPECT_EQ(cameras[0].limits, (std::array<float, 6>{-180, 180, -180, 180, -180, 180}));

  // Without a file the calibration path would be the directory itself; the
  // shipped default names a file there, created from the first video.
  const auto shipped = dir.write("default.cfg", default_varozod());
  const PlayParam d = read_play_param(shipped, dir.path());
  EXPECT_EQ(d.calibration_path, (dir.path() / kDefaultCalibrationName).string());
  EXPECT_EQ(read_camera_params(shipped)[2].limits, (std::array<float, 6>{-180, 180, -180, 180, -180, 180}));
}

TEST(AppFiles, ABrokenSettingsFileFallsBackToTheDefaults) {
  // What a full disk, an editor or a stray byte may leave: playback still
  // has a calibration name to look for and views that turn.
  orb::test::TempDir dir;
  fs::create_directories(dir.path() / "sub");
  for (const std::string& text :
       {std::string(), std::string("\x01\x02junk\xff\xfe"), std::string(200000, 'a'),
        std::string("[play_param]\ncalib_filename=.\n"), std::string("[play_param]\ncalib_filename=sub\n")}) {
    const auto cfg = dir.write("varozod.cfg", text);
    EXPECT_EQ(read_play_param(cfg, dir.path()).calibration_path, (dir.path() / kDefaultCalibrationName).string())
        << text.substr(0, 40);
    EXPECT_EQ(read_camera_params(cfg)[1].limits, (std::array<float, 6>{-180, 180, -180, 180, -180, 180}));
  }
  // Written in one piece: the defaults, read back whole.
  const auto fresh = dir.path() / "fresh.cfg";
  ASSERT_TRUE(write_default_varozod(fresh));
  EXPECT_EQ(read_play_param(fresh, dir.path()).calibration_path, (dir.path() / kDefaultCalibrationName).string());
  EXPECT_FALSE(fs::exists(fresh.string() + ".part"));
}

TEST(AppFiles, WindowSizeFollowsTheMonitor) {
  EXPECT_EQ(window_size_for_monitor(1024).width, 775);
  EXPECT_EQ(window_size_for_monitor(1024).height, 458);
  EXPECT_EQ(window_size_for_monitor(1280).width, 968);
  EXPECT_EQ(window_size_for_monitor(1366).width, 1058);
  EXPECT_EQ(window_size_for_monitor(1366).height, 584);
  EXPECT_EQ(window_size_for_monitor(1366).playlist_width, 246);
  EXPECT_EQ(window_size_for_monitor(1367).width, 1224);
  EXPECT_EQ(window_size_for_monitor(1367).height, 658);
}

// A calibration file for a width x height picture, written into `dir`.
fs::path lens_file(const orb::test::TempDir& dir, const std::string& name, int width, int height, float radius) {
  const fs::path path = dir.path() / name;
  fs::create_directories(path.parent_path());
  EXPECT_EQ(orb::write_calibration_file(path.c_str(), orb::single_lens_calibration(static_cast<float>(width - 1) / 2,
                                                                                   static_cast<float>(height - 1) / 2,
                                                                                   radius, width, height, 200)),
            0);
  return path;
}

TEST(CalibrationChoice, EachVideoGetsItsOwnFittingLens) {
  orb::test::TempDir dir;
  const fs::path data = dir.path() / "data";
  fs::create_directories(dir.path() / "cam");
  const std::string video = dir.write("cam/clip.mp4", "").string();
  int detections = 0;
  auto detect_fails = [&](const char*, const char*) { return ++detections, 1; };
  const auto before = fs::current_path();

  // Nothing anywhere and nothing found: a default lens, never remembered.
  CalibrationChoice c = choose_calibration(video, 1280, 720, data / "ostrel_lens.inf", data, detect_fails);
  EXPECT_EQ(c.source, CalibrationSource::kDefault);
  EXPECT_EQ(detections, 1);
  orb::CameraParams camera;
  ASSERT_EQ(orb::read_calibration_file(c.path.c_str(), camera), 0);
  EXPECT_EQ(camera.image_width, 1280);
  EXPECT_NEAR(camera.circle_radius, 360, 0.01);
  EXPECT_FALSE(fs::exists(remembered_calibration(data, video)));
  EXPECT_EQ(fs::current_path(), before);

  // Found: written as this video's own and remembered; the next start asks nothing.
  auto detect_writes = [&](const char*, const char* out) {
    ++detections;
    return orb::write_calibration_file(out, orb::single_lens_calibration(640, 350, 300, 1280, 720, 200));
  };
  c = choose_calibration(video, 1280, 720, data / "ostrel_lens.inf", data, detect_writes);
  EXPECT_EQ(c.source, CalibrationSource::kDetected);
  EXPECT_EQ(c.path, remembered_calibration(data, video).string());
  EXPECT_NEAR(c.radius, 300, 0.01);
  EXPECT_NEAR(c.fov_deg, 200, 0.01);
  c = choose_calibration(video, 1280, 720, data / "ostrel_lens.inf", data, detect_fails);
  EXPECT_EQ(c.source, CalibrationSource::kRemembered);
  EXPECT_EQ(detections, 2);

  // Another video (another camera) has its own key.
  const std::string other = dir.write("cam/other.mp4", "").string();
  EXPECT_NE(remembered_calibration(data, other), remembered_calibration(data, video));

  // The configured file serves only pictures of its shape; 4:3 is another camera.
  lens_file(dir, "data/ostrel_lens.inf", 1920, 1080, 540);
  c = choose_calibration(video, 1280, 720, data / "ostrel_lens.inf", data, detect_fails);
  EXPECT_EQ(c.source, CalibrationSource::kConfigured);
  EXPECT_TRUE(c.scaled);
  c = choose_calibration(other, 1440, 1080, data / "ostrel_lens.inf", data, detect_fails);
  EXPECT_EQ(c.source, CalibrationSource::kDefault);

  // Beside the video: the first "*.inf", but "<video name>.inf" before it;
  // a file of another shape or a broken one is passed over.
  lens_file(dir, "cam/a.inf", 1280, 720, 350);
  c = choose_calibration(video, 1280, 720, data / "ostrel_lens.inf", data, detect_fails);
  EXPECT_EQ(c.path, (dir.path() / "cam/a.inf").string());
  EXPECT_EQ(c.source, CalibrationSource::kBeside);
  lens_file(dir, "cam/clip.inf", 1280, 720, 320);
  EXPECT_EQ(choose_calibration(video, 1280, 720, "", data, detect_fails).path, (dir.path() / "cam/clip.inf").string());
  EXPECT_EQ(choose_calibration(video, 960, 960, "", data, detect_fails).source, CalibrationSource::kDefault);
  dir.write("cam/clip.inf", "short");
  EXPECT_EQ(choose_calibration(video, 1280, 720, "", data, detect_fails).path, (dir.path() / "cam/a.inf").string());

  // The calibration tool saves beside a video whose folder is writable.
  EXPECT_EQ(calibration_target(data, video), dir.path() / "cam/clip.inf");
}

TEST(PlaylistRules, AcceptsMediaByExtensionAndSkipsDuplicates) {
  Playlist list;
  EXPECT_EQ(list.add({"/v/a.mp4", "/v/a.mp4", "/v/A.mp4", "/v/b.MP4", "/v/notes.txt", "/v/noext", "/v.dir/x"}, true),
            3);
  EXPECT_EQ(list.paths(), (std::vector<std::string>{"/v/a.mp4", "/v/A.mp4", "/v/b.MP4"}));
  EXPECT_TRUE(Playlist::accepted("/m/song.FLAC"));
  EXPECT_TRUE(Playlist::is_audio("/m/song.FLAC"));
  EXPECT_FALSE(Playlist::is_audio("/m/clip.mkv"));
  EXPECT_FALSE(Playlist::accepted("/m/clip.m"));  // not a whole entry of the list
  EXPECT_EQ(list.add({"/v/a.mp4"}, false), 1);    // the start-up fill keeps what the file has
  EXPECT_TRUE(list.remove(0));
  EXPECT_FALSE(list.remove(10));
}

TEST(PlaylistRules, SequenceStopsAtEitherEnd) {
  Playlist list;
  list.add({"/1.mp4", "/2.mp4", "/3.mp4"}, true);
  const std::int32_t first = 2;  // after the tree's root and toolbar row
  std::int32_t current = -1;
  EXPECT_EQ(list.choose(Direction::kNext, kPlaySequence, current, first), "/2.mp4");
  EXPECT_EQ(list.choose(Direction::kNext, kPlaySequence, current, first), "/3.mp4");
  EXPECT_EQ(current, 4);
  EXPECT_EQ(list.choose(Direction::kNext, kPlaySequence, current, first), "");  // the end
  EXPECT_EQ(current, 4);
  current = first;
  EXPECT_EQ(list.choose(Direction::kPrevious, kPlaySequence, current, first), "");
  EXPECT_EQ(list.choose(Direction::kNext, kPlaySingleLoop, current, first), "/1.mp4");  // the same again
  Playlist empty;
  EXPECT_EQ(empty.choose(Direction::kNext, kPlaySequence, current, first), "");
  current = 40;  // stale, past the end
  EXPECT_EQ(list.choose(Direction::kNext, kPlaySingleLoop, current, first), "");
}

TEST(PlaylistRules, RandomPlaysEveryItemOnceBeforeRepeating) {
  Playlist list;
  list.seed(5);
  list.add({"/1.mp4", "/2.mp4", "/3.mp4"}, true);
  std::int32_t current = -1;
  for (int round = 0; round < 4; ++round) {
    std::set<std::string> seen;
    for (int k = 0; k < 3; ++k) seen.insert(list.choose(Direction::kNext, kPlayRandom, current, 2));
    EXPECT_EQ(seen.size(), 3u) << "round " << round;
  }
  // A removal mid-round: the rest still plays, nothing is lost to old positions.
  list.choose(Direction::kNext, kPlayRandom, current, 2);
  ASSERT_TRUE(list.remove(0));
  std::set<std::string> seen;
  for (int k = 0; k < 2; ++k) seen.insert(list.choose(Direction::kNext, kPlayRandom, current, 2));
  EXPECT_EQ(seen, (std::set<std::string>{"/2.mp4", "/3.mp4"}));
}

TEST(Layouts, RectanglesPresetsAndSourcePictures) {
  const auto split2 = plan_layout(kLayoutSplit2, 800, 600);
  ASSERT_TRUE(split2);
  EXPECT_EQ(split2->count, 2);
  EXPECT_EQ(split2->rects[0].x, 200);
  EXPECT_EQ(split2->rects[0].y, 0);
  EXPECT_EQ(split2->rects[0].width, 400);
  EXPECT_EQ(split2->rects[0].height, 300);
  EXPECT_EQ(split2->rects[1].y, 300);
  EXPECT_EQ(plan_layout(kLayoutWide, 800, 600)->draw_mode, 5);
  EXPECT_EQ(plan_layout(kLayoutSplit4, 801, 601)->rects[3].x, 400);
  EXPECT_FALSE(plan_layout(3, 800, 600));

  EXPECT_EQ(preset_angles(4, 2, 2), (std::array<float, 3>{20, -86, 0}));
  EXPECT_EQ(preset_angles(1, 0, 1), (std::array<float, 3>{-41, -87, 0}));
  EXPECT_EQ(preset_angles(2, 0, 0), (std::array<float, 3>{42, 174, 0}));
  EXPECT_FALSE(preset_angles(1, 0, 3));  // sideways to the right has no presets

  EXPECT_TRUE(is_source_picture("/cam/20170305235958B.mp4"));
  EXPECT_TRUE(is_source_picture("/cam/clipb.MOV"));
  EXPECT_FALSE(is_source_picture("/cam/clipA.mp4"));
  EXPECT_EQ(source_picture_plan(640, 480).draw_mode, 0);
}

TEST(Layouts, ControlsArithmetic) {
  const SeekTarget t = seek_target(501, 2, 0);
  EXPECT_EQ(t.minutes, 1);
  EXPECT_EQ(t.seconds, 0);
  EXPECT_EQ(t.milliseconds, -1);
  EXPECT_EQ(volume_from_percent(60), 76);
  EXPECT_EQ(volume_from_percent(100), 128);
  EXPECT_EQ(time_text(75, 3725), "00:01:15 / 01:02:05");
}

TEST(Conversion, OutputNameQualityAndScaledViews) {
  EXPECT_EQ(proposed_output("/v/day 1/clip.mp4"), "/v/day 1/clip_out.mp4");
  EXPECT_EQ(proposed_output("/v/a.b/clip"), "");  // the dot is the folder's
  EXPECT_EQ(proposed_output("/v/clip"), "");
  EXPECT_EQ(quality_for_item(2).width, 1920);
  EXPECT_EQ(quality_for_item(7).width, 1024);  // anything else: the default

  // Four views in a 650 x 325 preview, converted at 1920 x 960.
  const LayoutPlan plan = *plan_layout(kLayoutSplit4, 650, 325);
  std::array<PreviewView, 4> views{};
  views[3] = {12.5f, -30, 2, 1.5f};
  ConverterInitParams p{};
  fill_views(p, plan, 650, 325, &views, 2, quality_for_item(2));
  EXPECT_EQ(p.viewport_count, 4);
  EXPECT_EQ((std::array<int, 4>{p.x[3], p.y[3], p.width[3], p.height[3]}), (std::array<int, 4>{960, 478, 960, 478}));
  EXPECT_EQ((std::array<int, 4>{p.x[0], p.y[0], p.width[0], p.height[0]}), (std::array<int, 4>{0, 0, 960, 478}));
  EXPECT_EQ(p.pitch[3], 12.5f);
  EXPECT_EQ(p.zoom[3], 1.5f);
  EXPECT_EQ(p.draw_mode[3], 2);
  EXPECT_EQ(p.orientation, 2);
  EXPECT_EQ(p.bitrate, 10240);

  // One view, preview not playing: no angles, and nothing past the count.
  const LayoutPlan wide = *plan_layout(kLayoutWide, 650, 325);
  fill_views(p, wide, 650, 325, nullptr, 1, quality_for_item(0));
  EXPECT_EQ(p.viewport_count, 1);
  EXPECT_EQ((std::array<int, 4>{p.x[0], p.y[0], p.width[0], p.height[0]}), (std::array<int, 4>{0, 0, 800, 480}));
  EXPECT_EQ(p.draw_mode[0], 5);
  EXPECT_EQ(p.pitch[3], 0.0f);
  EXPECT_EQ(p.width[3], 0);
  // A rectangle past the preview stays inside the picture.
  LayoutPlan odd = wide;
  odd.rects[0] = {700, -5, 900, 400};
  fill_views(p, odd, 650, 325, nullptr, 1, quality_for_item(0));
  EXPECT_EQ((std::array<int, 4>{p.x[0], p.y[0], p.width[0], p.height[0]}), (std::array<int, 4>{799, 0, 800, 480}));

  ConversionJob job("/v/a.mp4", "/v/a.inf", "/v/a_out.mp4");
  EXPECT_STREQ(job.params.input_path, "/v/a.mp4");
  EXPECT_STREQ(job.params.output_path, "/v/a_out.mp4");
}

// The reasons a user reads when a file or stream does not play.
TEST(PlayFailure, ReasonsNameWhatTheUserCanFix) {
  orb::test::TempDir dir;
  const std::string file = (dir.path() / "broken.mp4").string();
  std::ofstream(file) << "not a video";
  EXPECT_EQ(play_failure_reason((dir.path() / "gone.mp4").string(), 15, "error: gone.mp4 does not exist;\n"),
            "cannot open: no such file");
  EXPECT_EQ(play_failure_reason(dir.path().string(), 15, "error: it is a folder;\n"),
            "cannot open: a folder, not a file");
  EXPECT_EQ(play_failure_reason(file, 15, "error: couldn't open input stream, code: -1094995529;\n"), "not a video");
  EXPECT_EQ(play_failure_reason(file, 16, "error: no video stream.\n"), "no video stream");
  EXPECT_EQ(
      play_failure_reason("rtsp://10.0.0.9/live", 15, "error: cannot open rtsp://10.0.0.9/live: no answer in time;"),
      "network timeout after 10 s");
  EXPECT_EQ(play_failure_reason("http://h/a.mp4", 21, "error: the input was lost: no data for 5 seconds;\n"),
            "network timeout after 10 s");
  EXPECT_EQ(play_failure_reason("rtsp://h/a", 21, "error: the input was lost: the stream ended"), "the stream stopped");
  EXPECT_EQ(one_line("error: a;\nb.\n"), "error: a; b");
}

// Positions are kept only for long files left part-way; the recent list is
// ten deep without repeats; a file read back is the memory written.
TEST(PlayMemory, KeepsWhatResumeNeedsAndReadsBackWhatItWrote) {
  PlayMemory m;
  m.leave_at("/v/short.mp4", 60, 120);  // too short to resume
  m.leave_at("/v/long.mp4", 5, 3600);   // hardly begun
  EXPECT_FALSE(m.resume_at("/v/short.mp4"));
  EXPECT_FALSE(m.resume_at("/v/long.mp4"));
  m.leave_at("/v/long.mp4", 1800, 3600);
  EXPECT_EQ(m.resume_at("/v/long.mp4"), 1800);
  m.leave_at("/v/long.mp4", 3595, 3600);  // watched to the end: from the start next time
  EXPECT_FALSE(m.resume_at("/v/long.mp4"));
  m.leave_at("/v/tab\tname.mp4", 600, 3600);
  m.set_view("/v/long.mp4", {kLayoutSplit2, 0});
  m.leave_at("bad\nname", 600, 3600);
  for (int i = 0; i < 12; ++i) m.add_recent("/v/" + std::to_string(i % 11) + ".mp4");
  m.add_recent("/v/3.mp4");
  ASSERT_EQ(m.recent().size(), PlayMemory::kRecentCount);
  EXPECT_EQ(m.recent()[0], "/v/3.mp4");
  EXPECT_EQ(m.recent()[1], "/v/0.mp4");
  m.volume = 35;
  m.muted = true;

  orb::test::TempDir dir;
  ASSERT_TRUE(m.save(dir.path() / "Memory.cfg"));
  const PlayMemory back = PlayMemory::load(dir.path() / "Memory.cfg");
  EXPECT_EQ(back.serialise(), m.serialise());
  EXPECT_EQ(back.resume_at("/v/tab\tname.mp4"), 600);
  EXPECT_EQ(back.view_of("/v/long.mp4")->layout, kLayoutSplit2);
  EXPECT_FALSE(back.resume_at("bad\nname"));
  EXPECT_EQ(back.volume, 35);
  EXPECT_TRUE(back.muted);

  // Another format, or lines that make no sense, give defaults rather than nonsense.
  EXPECT_EQ(PlayMemory::parse("ostrel memory 2\nvolume\t10\n").volume, 80);
  const PlayMemory odd = PlayMemory::parse("ostrel memory 1\nvolume\t900\nfile\t-5\t0\t0\t/a\nfile\tx\t0\t0\t/b\n");
  EXPECT_EQ(odd.volume, 100);
  EXPECT_FALSE(odd.resume_at("/a"));
  EXPECT_FALSE(odd.view_of("/b"));
}

}  // namespace
}  // namespace ostrel
