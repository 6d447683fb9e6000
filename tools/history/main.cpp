// halvorn-history FILE: the history viewer. With --csv or --png it exports
// and exits without a window (for scripts), with --alarm-report it prints
// the alarm figures; otherwise it opens the window.
#include <QApplication>
#include <cstdio>
#include <iostream>

#include "AlarmReport.h"
#include "CsvExport.h"
#include "ExportFile.h"
#include "HistoryCommandLine.h"
#include "HistoryWindow.h"
#include "RecordReader.h"
#include "TimeText.h"

namespace {

using namespace halvorn::history;

int Fail(const std::string& message) {
  std::cerr << "halvorn-history: " << message << "\n";
  return kHistoryFailureStatus;
}

// Whether someone can see a window: a record that fails to open from the
// desktop says why in one, and not only on a terminal nobody reads.
bool SomeoneSeesWindows() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform == "offscreen" || platform == "minimal") return false;
  const bool x = !qEnvironmentVariableIsEmpty("DISPLAY");
  const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  if (platform.isEmpty()) return x || wayland;
  if (platform.startsWith("xcb")) return x;
  if (platform.startsWith("wayland")) return wayland;
  return true;  // a screen of its own (eglfs, linuxfb, vnc)
}

struct Range {
  Nanoseconds from = 0;
  Nanoseconds to = 0;
};

// --from/--to against the open session; the whole session by default.
std::optional<Range> RangeOf(const HistoryOptions& options, const SessionData& data, std::string& error) {
  Range range{0, std::max<Nanoseconds>(data.end(), 1)};
  const std::pair<const std::string*, Nanoseconds*> ends[] = {{&options.from, &range.from}, {&options.to, &range.to}};
  for (const auto& [text, into] : ends) {
    if (text->empty()) continue;
    const auto t = ParseTimeArgument(*text, data.session.startedWallNs);
    if (!t) {
      error =
          "not a time: " + *text + " (seconds from the session's start, or a local time such as 2026-12-07T10:31:02)";
      return std::nullopt;
    }
    *into = *t;
  }
  if (range.to <= range.from) {
    error = "--to must lie after --from";
    return std::nullopt;
  }
  return range;
}

}  // namespace

int main(int argc, char** argv) {
  const HistoryOptions options = ParseHistoryCommandLine(argc, argv);
  if (options.outcome == HistoryOptions::Outcome::ShowHelp) {
    std::cout << HistoryHelpText();
    return 0;
  }
  if (options.outcome == HistoryOptions::Outcome::Fail) return Fail(options.error);
  // Checked before anything is read: an export never writes over its input.
  for (const auto& [option, output] : {std::pair{"--csv", &options.csv}, std::pair{"--png", &options.png}}) {
    if (output->empty()) continue;
    if (const auto why = RefusedOutput(*output, options.file))
      return Fail(std::string(option) + " " + *why + ": an export never writes over the record");
  }

  std::optional<RecordReader> reader;
  SessionData data;
  // Only a CSV of raw readings needs every reading; the charts read the
  // range they show at the resolution they need.
  const RecordReader::Rows rows = !options.csv.empty() && !options.alarmReport && options.resolution.empty()
                                      ? RecordReader::Rows::All
                                      : RecordReader::Rows::WithoutReadings;
  try {
    reader.emplace(options.file);
    const auto session = ChooseSession(reader->sessions(), options.session);
    if (!session) {
      return Fail(options.session ? options.file + " has no session " + std::to_string(options.session)
                                  : options.file + " holds no session yet");
    }
    data.session = *session;
    reader->loadMore(data, rows);
  } catch (const std::exception& e) {
    const int status = Fail(e.what());
    if (!options.headless() && SomeoneSeesWindows()) {
      QApplication app(argc, argv);
      ShowOpenFailure(QString::fromUtf8(e.what()));
    }
    return status;
  }
  std::string error;
  const auto range = RangeOf(options, data, error);
  if (!range) return Fail(error);

  if (options.alarmReport) {
    if (!options.csv.empty()) {
      const auto write = [&](std::ostream& out) { WriteAlarmCsv(out, data, range->from, range->to); };
      if (!WriteExport(options.csv, write, error)) return Fail(error);
    }
    std::cout << AlarmReportText(data, range->from, range->to) << std::flush;
    if (!std::cout) return Fail("cannot write the alarm report to standard output");
    return 0;
  }
  if (!options.csv.empty()) {
    const auto write = [&](std::ostream& out) {
      if (options.resolution.empty()) {
        WriteCsv(out, data, range->from, range->to);
      } else {
        WriteSummaryCsv(out, *reader, data.session, options.resolution == "1m" ? Detail::Minute : Detail::Hour,
                        range->from, range->to);
      }
    };
    if (!WriteExport(options.csv, write, error)) return Fail(error);
  }
  if (options.headless() && options.png.empty()) return 0;

  // The PNG needs the charts but no screen.
  if (!options.png.empty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  HistoryWindow window(*reader, std::move(data), rows);
  if (!options.from.empty() || !options.to.empty()) window.timeAxis().setRange(range->from, range->to);
  if (!options.png.empty()) {
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    QCoreApplication::processEvents();
    // What is written is what the window shows once it has read it all.
    if (!window.waitForRanges())
      return Fail(window.readError().isEmpty() ? "reading the charts' range took too long"
                                               : window.readError().toStdString());
    QString failure;
    if (!window.exportPng(QString::fromStdString(options.png), &failure)) return Fail(failure.toStdString());
    return 0;
  }
  window.show();
  return app.exec();
}
