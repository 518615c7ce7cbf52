#include "platform/qt/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <iostream>

namespace quillet {
namespace {

constexpr int kWrongCommandLine = 2;

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
    const QCommandLineOption http_token("http-token",
                                        "Print the HTTP endpoint's token and exit.");
    parser.addOptions({help, show_version, socket, settings, fix_config, http, http_token});

    CommandLine result;
    const QString program =
        arguments.isEmpty() ? QString("quillet") : QFileInfo(arguments.first()).fileName();
    const QString usage =
        parser.helpText().replace(QRegularExpression("^Usage: \\S*"), "Usage: " + program);
    QString problem;
    if (!parser.parse(arguments)) {
        problem = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        problem = "Unexpected argument '" + parser.positionalArguments().first() + "'.";
    } else if (parser.isSet(http)) {
        bool number = false;
        const int port = parser.value(http).toInt(&number);
        if (!number || port < 1 || port > 65535) {
            problem = "The HTTP port is not a number from 1 to 65535: '" + parser.value(http) + "'.";
        } else {
            result.http_port = port;
        }
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
