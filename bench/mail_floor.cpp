// bench-mail-floor [--keep] [--cacert CA-FILE] URL FROM MESSAGE-FILE RCPT...
//
// The least a program can do to mail a message: for every line on standard input it sends the
// message of MESSAGE-FILE to URL (smtp://host:port) with libcurl's easy interface, on a fresh
// connection with a fresh handle, and writes "ok" or "error <why>" on standard output once the
// server has answered the end of DATA. The floor that Quillet's order-to-mail time is set
// against: the same request-then-reply shape, with nothing but the mailing between. For smtps://
// URLs the server's certificate is checked against the CAs of CA-FILE (or the system's).
//
// With --keep, one handle sends every message, so that libcurl keeps its connection between
// them: the bare exchange of a kept connection, which no program on libcurl can go below.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

namespace {

struct EasyCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Recipients = std::unique_ptr<curl_slist, SlistFree>;

struct Upload {
    const std::string& text;
    size_t offset = 0;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    const size_t n = std::min(size * count, upload->text.size() - upload->offset);
    std::memcpy(buffer, upload->text.data() + upload->offset, n);
    upload->offset += n;
    return n;
}

using Easy = std::unique_ptr<CURL, EasyCleanup>;

CURLcode Send(CURL* curl, const std::string& url, const std::string& ca_file,
              const std::string& from, curl_slist* recipients, const std::string& message) {
    if (curl == nullptr) {
        return CURLE_FAILED_INIT;
    }
    Upload upload{message};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    if (!ca_file.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &ReadMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    return curl_easy_perform(curl);
}

}  // namespace

int main(int argc, char* argv[]) {
    bool keep = false;
    if (argc > 1 && std::strcmp(argv[1], "--keep") == 0) {
        keep = true;
        --argc;
        ++argv;
    }
    std::string ca_file;
    if (argc > 2 && std::strcmp(argv[1], "--cacert") == 0) {
        ca_file = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 5) {
        std::cerr << "usage: bench-mail-floor [--keep] [--cacert CA-FILE] URL FROM MESSAGE-FILE "
                     "RCPT...\n";
        return 2;
    }
    std::ifstream in(argv[3], std::ios::binary);
    const std::string message{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (message.empty()) {
        std::cerr << "bench-mail-floor: cannot read " << argv[3] << '\n';
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Recipients recipients;
    for (int i = 4; i < argc; ++i) {
        const std::string angled = std::string("<") + argv[i] + ">";
        curl_slist* appended = curl_slist_append(recipients.get(), angled.c_str());
        if (appended == nullptr) {
            return 2;
        }
        (void)recipients.release();  // now owned through `appended`, the head of the same list
        recipients.reset(appended);
    }
    const std::string url = argv[1];
    const std::string from = std::string("<") + argv[2] + ">";
    Easy kept(keep ? curl_easy_init() : nullptr);
    std::string request;
    while (std::getline(std::cin, request)) {
        Easy fresh(keep ? nullptr : curl_easy_init());
        const CURLcode result =
            Send(keep ? kept.get() : fresh.get(), url, ca_file, from, recipients.get(), message);
        fresh.reset();  // with its connection, before the answer
        if (result == CURLE_OK) {
            std::cout << "ok" << std::endl;
        } else {
            std::cout << "error " << curl_easy_strerror(result) << std::endl;
        }
    }
    kept.reset();
    recipients.reset();
    curl_global_cleanup();
    return 0;
}
