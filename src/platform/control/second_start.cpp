#include "platform/control/second_start.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/control_protocol.h"
#include "platform/control/control_socket_folder.h"

namespace quillet {
namespace {

// The reply line, or why there is none.
struct ReplyLine {
    bool complete = false;
    std::string text;  // the line without its end, or what went wrong
};

ReplyLine ReadReplyLine(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string received;
    while (received.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&waiting, 1, static_cast<int>(left.count())) : 0;
        if (ready == 0) {
            return {false, "no answer within " + std::to_string(limit.count() / 1000) + " s"};
        }
        char buffer[4096];
        const ssize_t count = ready < 0 ? -1 : recv(fd, buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0 || received.size() > kMaxControlLineBytes) {
            return {false, "no reply line"};
        }
        received.append(buffer, static_cast<size_t>(count));
    }
    received.resize(received.find('\n'));
    return {true, received};
}

// What a reply line says: whether it is {"ok":true}, and the error of a refusal in the
// protocol's form ({"ok":false,"error":TEXT}), which only Quillet gives.
struct ShowReply {
    bool ok = false;
    std::optional<std::string> refusal;
};

ShowReply ReadShowReply(const std::string& reply) {
    const nlohmann::json parsed = nlohmann::json::parse(reply, nullptr, false);
    if (!parsed.is_object()) {
        return {};
    }
    const auto ok = parsed.find("ok");
    const auto error = parsed.find("error");
    if (ok == parsed.end() || !ok->is_boolean()) {
        return {};
    }
    if (ok->get<bool>()) {
        return {true, std::nullopt};
    }
    if (error != parsed.end() && error->is_string()) {
        return {false, error->get<std::string>()};
    }
    return {};
}

}  // namespace

SecondStart AskRunningQuilletToShow(const ControlSocketLocation& location,
                                    const std::string& start_error,
                                    std::chrono::milliseconds limit) {
    if (!location.private_folder.empty() &&
        !PreparePrivateSocketFolder(location.private_folder).empty()) {
        return {false, start_error, true};
    }
    const ControlSocketConnection connection = ConnectControlSocket(location.path);
    if (!connection.fd) {
        return {false, start_error, true};
    }
    const std::string request = "{\"event\":\"Show\"}\n";
    ReplyLine reply{false, "the request could not be sent"};
    if (send(connection.fd.get(), request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
        reply = ReadReplyLine(connection.fd.get(), limit);
    }
    const ShowReply show = reply.complete ? ReadShowReply(reply.text) : ShowReply{};
    if (show.ok) {
        return {true, "Quillet is already running (socket " + location.path +
                          "); its window is brought to the front"};
    }
    if (show.refusal) {
        return {false,
                "Quillet is already running (socket " + location.path +
                    ") but did not bring its window to the front: " + show.refusal->substr(0, 200)};
    }
    return {false, "a program that is not Quillet holds the socket " + location.path + " (" +
                       (reply.complete ? "it answered: " + reply.text.substr(0, 200) : reply.text) +
                       ")"};
}

}  // namespace quillet
