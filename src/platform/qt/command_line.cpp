#include "platform/qt/command_line.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <iostream>
#include <limits>

namespace quillet {
namespace {

constexpr int kWrongCommandLine = 2;

// Qt's own options, which QApplication takes out of the arguments: those followed by a value,
// those that stand alone, and those whose value follows an "=". Qt takes each with one dash or
// two.
const QStringList kQtOptionsWithValue = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "qwindowicon",
    "qwindowtitle",
    "session",
    "display",
    "geometry",
    "title",
    "icon",
    "name",
    "style",
    "stylesheet",
    "visual",
    "im",
};
const QStringList kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
const QStringList kQtOptionsJoined = {
    "style=", "stylesheet=", "qmljsdebugger=", "fontengine=", "dialogs="};

// `arguments` without Qt's own options and their values, as QApplication leaves them; so a
// command line reads the same before the window system starts and after.
QStringList WithoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        if (i == 0 || !name.startsWith('-') || name == "-" || name == "--") {
            kept.append(name);
            continue;
        }
        name.remove(0, name.startsWith("--") ? 2 : 1);
        if (kQtOptionsWithValue.contains(name) && i + 1 < arguments.size()) {
            ++i;  // and its value
        } else if (!kQtFlags.contains(name) &&
                   std::none_of(kQtOptionsJoined.begin(), kQtOptionsJoined.end(),
                                [&](const QString& joined) { return name.startsWith(joined); })) {
            kept.append(arguments[i]);
        }
    }
    return kept;
}

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments, const QString& version) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Shows the order events of a trading platform as order lines and e-mails them.\n"
        "Qt's own options are taken too, for instance -platform offscreen to run without a "
        "display.");
    const QCommandLineOption help({"h", "help"}, "Print this help and exit.");
    const QCommandLineOption show_version({"v", "version"}, "Print the version and exit.");
    const QCommandLineOption socket("socket", "Listen on the control socket <path>.", "path");
    const QCommandLineOption settings("settings", "Keep the settings in <file>.", "file");
    const QCommandLineOption fix_config(
        "fix-config", "Take the FIX drop copy's session settings from <file>.", "file");
    const QCommandLineOption http("http", "Take order events over HTTP on 127.0.0.1:<port>.",
                                  "port");
    const QCommandLineOption http_token("http-token", "Print the HTTP endpoint's token and exit.");
    const QCommandLineOption history(
        "history", "Print the journal's events, each followed by its mail's attempts, and exit.");
    const QCommandLineOption since("since", "With --history: from <day> (YYYY-MM-DD) on.", "day");
    const QCommandLineOption until("until", "With --history: up to <day> (YYYY-MM-DD).", "day");
    const QCommandLineOption csv("csv", "With --history: print CSV.");
    const QCommandLineOption keep_history(
        "keep-history", "Keep the journal's events <days> days (90 at first) and exit.", "days");
    parser.addOptions({help, show_version, socket, settings, fix_config, http, http_token, history,
                       since, until, csv, keep_history});

    CommandLine result;
    const QString program =
        arguments.isEmpty() ? QString("quillet") : QFileInfo(arguments.first()).fileName();
    const QString usage =
        parser.helpText().replace(QRegularExpression("^Usage: \\S*"), "Usage: " + program);
    QString problem;
    if (!parser.parse(WithoutQtOptions(arguments))) {
        problem = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        problem = "Unexpected argument '" + parser.positionalArguments().first() + "'.";
    } else if (!parser.isSet(history) &&
               (parser.isSet(csv) || parser.isSet(since) || parser.isSet(until))) {
        problem = QString("--") +
                  (parser.isSet(csv)     ? "csv"
                   : parser.isSet(since) ? "since"
                                         : "until") +
                  " is an option of --history, which is not given.";
    } else if (parser.isSet(http)) {
        bool number = false;
        const int port = parser.value(http).toInt(&number);
        if (!number || port < 1 || port > 65535) {
            problem =
                "The HTTP port is not a number from 1 to 65535: '" + parser.value(http) + "'.";
        } else {
            result.http_port = port;
        }
    }
    if (problem.isEmpty() && parser.isSet(keep_history)) {
        bool number = false;
        const int days = parser.value(keep_history).toInt(&number);
        if (!number || days < 1 || days > 36500) {
            problem = "The days to keep are not a number from 1 to 36500: '" +
                      parser.value(keep_history) + "'.";
        } else {
            result.keep_history_days = days;
        }
    }
    if (problem.isEmpty() && (parser.isSet(since) || parser.isSet(until))) {
        // Local days, both included: from the start of one to the start of the day after the
        // other.
        const auto day_start = [&](const QCommandLineOption& option, int add) -> qint64 {
            const QDate day = QDate::fromString(parser.value(option), Qt::ISODate);
            if (!day.isValid()) {
                problem = "Not a day (YYYY-MM-DD): '" + parser.value(option) + "'.";
                return 0;
            }
            return day.addDays(add).startOfDay().toMSecsSinceEpoch();
        };
        const qint64 from = parser.isSet(since) ? day_start(since, 0) : 0;
        const qint64 to =
            parser.isSet(until) ? day_start(until, 1) : std::numeric_limits<qint64>::max();
        result.history_span = std::pair<int64_t, int64_t>(from, to);
    }
    if (!problem.isEmpty()) {
        result.exit_status = kWrongCommandLine;
        result.output = ("quillet: " + problem + "\n\n" + usage).toStdString();
    } else if (parser.isSet(help)) {
        result.exit_status = 0;
        result.output = usage.toStdString();
    } else if (parser.isSet(show_version)) {
        result.exit_status = 0;
        result.output = ("quillet " + version + "\n").toStdString();
    }
    result.socket = parser.value(socket).toStdString();
    result.settings = parser.value(settings).toStdString();
    result.fix_config = parser.value(fix_config).toStdString();
    result.print_http_token = parser.isSet(http_token);
    result.print_history = parser.isSet(history);
    result.history_csv = parser.isSet(csv);
    return result;
}

int EndWith(const CommandLine& command) {
    (command.exit_status == 0 ? std::cout : std::cerr) << command.output << std::flush;
    return command.exit_status.value_or(0);
}

QStringList RawArguments(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

}  // namespace quillet
