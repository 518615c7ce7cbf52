#include "platform/smtp/failure_words.h"

#include <curl/curl.h>

namespace quillet {

std::string FailureInWords(const FailureFacts& facts) {
    const std::string server = "the server " + facts.host;
    switch (facts.code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return server + " could not be found";
        case CURLE_COULDNT_CONNECT:
            return server + " did not take the connection: check the server and the port";
        case CURLE_OPERATION_TIMEDOUT:
            return "no answer from " +
                   (facts.host.find(':') == std::string::npos ? facts.host
                                                              : "[" + facts.host + "]") +
                   ":" + std::to_string(facts.port) + " within " +
                   std::to_string(facts.waited_s) + " s";
        case CURLE_LOGIN_DENIED:
            if (facts.token_login) {
                return "the server refused the token (" + facts.last_reply + ")";
            }
            return facts.reply >= 500 ? "the server refused the password: for Gmail and Yahoo use "
                                        "an app password (" +
                                            facts.last_reply + ")"
                                      : "the server refused the login (" + facts.last_reply + ")";
        case CURLE_PEER_FAILED_VERIFICATION:
            return server + "'s certificate is not trusted: " + facts.curl_text;
        case CURLE_USE_SSL_FAILED:
            if (facts.reply >= 400) {  // offered, but refused; else the reply is EHLO's
                return server + " did not start the secure connection (" + facts.last_reply + ")";
            }
            return server +
                   " offers no secure connection on this port (STARTTLS): use port 465, or the "
                   "port the provider gives for it";
        case CURLE_SSL_CONNECT_ERROR:
            return "no secure connection could be made with " + facts.host + ": " + facts.curl_text;
        default:
            break;
    }
    if (!facts.last_reply.empty() && (facts.last_reply[0] == '4' || facts.last_reply[0] == '5')) {
        return "the server answered \"" + facts.last_reply + "\"";
    }
    switch (facts.code) {
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return server + " closed the connection" +
                   (facts.last_reply.empty() ? std::string()
                                             : " after \"" + facts.last_reply + "\"");
        default:
            break;
    }
    return facts.curl_text.empty() ? curl_easy_strerror(static_cast<CURLcode>(facts.code))
                                   : facts.curl_text;
}

}  // namespace quillet
