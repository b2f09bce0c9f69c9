#pragma once

// The conversion of the current GIF (Convert) or of every listed GIF in list order (Convert All)
// into SWF movies, as a state machine the window drives. It has no loop and no timer of its
// own: the window calls the command handlers and, on each tick of its two 100 ms timers, tick().
// Every call returns the RunActions the window performs: control locking, button states, the
// frame box, slider and progress figures, timer starts and stops, row selection, message boxes
// and shell "open" requests. The run also holds the window's playback state (isPlaying,
// isConverting, isConvertAll, runIndex) and the current file, and implements Play, Pause and
// togglePlayback, so the window's handlers stay one line each.
//
// Per file: the GIF is loaded into the PreviewPlayer, capture is switched on and the player
// plays the file once; the capture step runs once for every frame the playback shows. The
// file is finished when its last frame has been captured, or when the playback thread has
// played through to the end and every frame it showed has been handled; the movie is then
// assembled from the capture files and the capture folder emptied.
//
// Plain C++; all calls on the window's UI thread (or a headless caller's thread).

#include <optional>
#include <string>
#include <string_view>

#include "convert/HeadlessConverter.h"
#include "convert/OutputSettings.h"
#include "convert/PreviewPlayer.h"
#include "convert/RunProblem.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

// The window's timers: timer 1 (100 ms) watches playback and capture; timer 2 (100 ms,
// stopped at its first tick) moves a Convert All run to the next file.
inline constexpr int kPlaybackTimer = 1;
inline constexpr int kNextFileTimer = 2;
inline constexpr int kTimerPeriodMs = 100;

inline constexpr std::string_view kNoFilesMessage = "Please select files.There are'n files in list";
inline constexpr std::string_view kSelectFileToConvertMessage = "Please select the file you want to convert";
inline constexpr std::string_view kSelectDirectoryMessage = "Please select the directory for converted files";
inline constexpr std::string_view kSelectFileMessage = "Please select a file!!!";

// One row of the window's batch list, as the run reads it: the FilePath text and the width and
// height parsed from its Dimension text.
struct RunItem {
  std::string filePath;
  int width = 0;
  int height = 0;
};

// The window's batch list, read live (rows may be added while a run goes on).
class RunFileList {
 public:
  virtual ~RunFileList() = default;
  virtual int itemCount() const = 0;
  // The row at index (0 <= index < itemCount()).
  virtual RunItem itemAt(int index) const = 0;
};

enum class MessageIcon { None, Exclamation };

// What the window does after a call. Unset fields mean "leave as it is".
struct RunActions {
  // A modal message box with one OK button.
  std::optional<std::string> message;
  MessageIcon messageIcon = MessageIcon::None;

  // lockControls (true) / unlockControls (false): Remove, Remove All, Move Up, Move Down,
  // Convert, Convert All, the output-folder "...", the size list and the frame-rate box.
  std::optional<bool> controlsLocked;
  std::optional<bool> playEnabled;
  std::optional<bool> pauseEnabled;

  std::optional<int> frameBox;                 // edit box: the 0-based index of the frame shown
  std::optional<int> progressPercent;          // progress bar position and its "%d%%" label
  std::optional<int> sliderPosition;           // position slider, 0..100
  std::optional<std::string> frameCountLabel;  // "/%d" of the frames held

  // Timer 1 and timer 2: true = (re)start with kTimerPeriodMs, false = stop.
  std::optional<bool> playbackTimerRunning;
  std::optional<bool> nextFileTimerRunning;

  // Convert All reached a row: give the list the focus, select and focus the row and scroll it
  // fully into view; it is the current row now (currentFile, sourceWidth, sourceHeight as in
  // currentItem). The output size was set from it (stageSizeFor with the size mode and the
  // width and height the run started with): write the settings back.
  std::optional<int> selectRow;
  std::optional<RunItem> currentItem;
  bool writeSettingsBack = false;

  // Repaint the preview pane (true: erase the background first).
  std::optional<bool> repaintPane;

  // Shell "open" requests, shown normally.
  std::optional<std::string> openMovie;   // after Convert (never Convert All): the finished movie
  std::optional<std::string> openFolder;  // after Convert All: the output folder

  // A file could not be converted (it could not be decoded, or its movie could not be
  // written). The run goes on.
  std::optional<RunProblem> problem;
  // The movie written for the file just finished (empty when none was written), and its
  // length, rate and passes in words (movieSummary).
  std::optional<std::string> movieWritten;
  std::optional<std::string> movieSummary;
};

// The window's last step for one file: the movie assembled from the pictures captured for
// gifPath while `player` played it, written to the settings' output folder at their stage size.
struct AssembledMovie {
  swf::MovieAssemblyInput input;
  ConvertedMovie summary;  // what was written, as the converter reports it
  util::Result<std::string, swf::MovieError> written = std::string();
};
AssembledMovie assembleMovie(const PreviewPlayer& player, const OutputSettings& settings, const std::string& gifPath);

class ConversionRun {
 public:
  ConversionRun(PreviewPlayer& player, OutputSettings& settings, const RunFileList& list);

  // The file the commands act on: the batch list's row last made current (the window calls
  // setCurrentFile from its row selection), or during Convert All the row under conversion.
  const std::string& currentFile() const { return currentFile_; }
  void setCurrentFile(std::string path) { currentFile_ = std::move(path); }

  bool isPlaying() const { return isPlaying_; }
  bool isConverting() const { return isConverting_; }
  bool isConvertAll() const { return isConvertAll_; }
  int runIndex() const { return runIndex_; }

  // Commands. The window reads its settings boxes into OutputSettings first (a failed read
  // shows its message and the command goes on with the values it has).
  RunActions convert();
  RunActions convertAll();
  RunActions play();   // the Play button
  RunActions pause();  // the Pause button
  RunActions togglePlayback();

  // A tick of timer 1 (kPlaybackTimer) or timer 2 (kNextFileTimer).
  RunActions tick(int timerId);

  // Steps of tick, public for tests.
  RunActions finishFile();
  RunActions advanceToNextFile();

  // Progress figures, 0 where the division would have no divisor (no list items, no frames).
  int progressPercent() const;  // (runIndex + 1) x 100 div item count
  int sliderPosition() const;   // currentFrame x 100 div frameCount

  // The current file's conversion is complete: its last frame has been captured, or the
  // playback has played to the end with every shown frame handled, or nothing could be played.
  bool fileFinished() const;

 private:
  void togglePlaybackInto(RunActions& actions);
  void finishFileInto(RunActions& actions, std::optional<RunProblem> refused = std::nullopt);
  // When the current file's movie is sure to be refused (from its screen and frame table),
  // finishes it with that problem without playing it; true then.
  bool refusedBeforePlayingInto(RunActions& actions);
  void advanceInto(RunActions& actions);
  void startCapture();
  // Loads the current file into the player, keeping why it got no frames.
  void loadCurrentFile();
  void holdPlayedFrames();
  // Starts the playback; a converted file of one frame held once is shown once instead.
  void startPlaying();
  void makeCurrent(int row, RunActions& actions);
  void endConvertAll(RunActions& actions);

  PreviewPlayer& player_;
  OutputSettings& settings_;
  const RunFileList& list_;

  std::string currentFile_;
  std::optional<std::string> loadFailure_;  // the last load's, for the problem report
  bool isPlaying_ = false;
  bool isConverting_ = false;
  bool isConvertAll_ = false;
  int runIndex_ = 0;
  PixelSize customSize_;  // the width and height boxes when Convert All started
};

}  // namespace brevanto::convert
