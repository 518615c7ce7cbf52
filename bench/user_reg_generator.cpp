#include "user_reg_generator.h"

#include <cstdio>
#include <random>
#include <string_view>

namespace quillet::bench {
namespace {

// Writes key and value lines the way Wine does: key names with doubled backslashes, a time
// after each key line, byte lists of lower-case pairs wrapped after column 76.
class RegWriter {
  public:
    explicit RegWriter(std::string& out) : out_(out) {}

    void Key(const std::string& path) {
        out_ += "\n[";
        for (char c : path) {
            out_ += c == '\\' ? std::string_view("\\\\") : std::string_view(&c, 1);
        }
        out_ += "] 1700000000\n#time=1da2b3c4d5e6f70\n";
    }
    void Text(std::string_view name, std::string_view escaped_text) {
        Name(name);
        out_ += "=\"";
        out_ += escaped_text;
        out_ += "\"\n";
    }
    void Default(std::string_view escaped_text) {
        out_ += "@=\"";
        out_ += escaped_text;
        out_ += "\"\n";
    }
    void Dword(std::string_view name, uint32_t value) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", value);
        Name(name);
        out_ += "=dword:";
        out_ += digits;
        out_ += '\n';
    }
    void Bytes(std::string_view name, std::string_view type, const std::string& bytes) {
        const size_t start = out_.size();
        Name(name);
        out_ += '=';
        out_ += type;
        out_ += ':';
        size_t column = out_.size() - start;
        for (size_t i = 0; i < bytes.size(); ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
            out_ += pair;
            column += 2;
            if (i + 1 < bytes.size()) {
                out_ += ',';
                if (++column > 76) {
                    out_ += "\\\n  ";
                    column = 2;
                }
            }
        }
        out_ += '\n';
    }

  private:
    void Name(std::string_view name) {
        out_ += '"';
        out_ += name;
        out_ += '"';
    }

    std::string& out_;
};

class Generator {
  public:
    explicit Generator(const UserRegShape& shape) : shape_(shape), reg_(out_) {
        out_.reserve(shape.target_bytes + shape.target_bytes / 8);
    }

    std::string Run() {
        out_ +=
            "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n";
        out_ += "\n#arch=win64\n";
        // The sections in the order Wine writes them (sorted), each up to its share of the size.
        AppEvents(Budget(0.03));
        ControlPanel(Budget(0.05));
        Classes(Budget(0.45));
        AccountManager();
        Explorer(Budget(0.82));
        Wine(shape_.target_bytes);
        return std::move(out_);
    }

  private:
    size_t Budget(double share) const {
        return static_cast<size_t>(static_cast<double>(shape_.target_bytes) * share);
    }

    uint32_t Random(uint32_t below) {
        return std::uniform_int_distribution<uint32_t>(0, below - 1)(random_);
    }
    std::string RandomBytes(size_t count) {
        std::string bytes(count, '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(Random(256));
        }
        return bytes;
    }
    static std::string Hex(uint64_t value, int digits) {
        char text[32];
        std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
        return text;
    }
    // A GUID whose first group grows with `ordinal`, so that the keys come out sorted.
    std::string Guid(uint64_t ordinal) {
        return "{" + Hex(ordinal * 4099 + Random(4000), 8) + "-" + Hex(Random(65536), 4) + "-" +
               Hex(Random(65536), 4) + "-" + Hex(Random(65536), 4) + "-" +
               Hex((uint64_t{Random(65536)} << 32) | Random(UINT32_MAX), 12) + "}";
    }

    void AppEvents(size_t until) {
        static const char* const kEvents[] = {"Close", "Maximize",       "MenuCommand", "Minimize",
                                              "Open",  "SystemAsterisk", "SystemExit"};
        for (int app = 0; out_.size() < until; ++app) {
            for (const char* event : kEvents) {
                const std::string base =
                    "AppEvents\\Schemes\\Apps\\App" + Hex(app, 5) + "\\" + event;
                reg_.Key(base + "\\.Current");
                reg_.Default("C:\\\\windows\\\\Media\\\\" + std::string(event) + ".wav");
                reg_.Key(base + "\\.Default");
                reg_.Default("");
            }
        }
    }

    void ControlPanel(size_t until) {
        reg_.Key("Control Panel\\Colors");
        reg_.Text("ActiveBorder", "212 208 200");
        reg_.Text("Window", "255 255 255");
        reg_.Key("Control Panel\\Desktop");
        reg_.Text("DragFullWindows", "0");
        reg_.Bytes("UserPreferencesMask", "hex", RandomBytes(8));
        for (int font = 0; out_.size() < until; ++font) {
            reg_.Key("Control Panel\\International\\Font Cache\\Face" + Hex(font, 6));
            reg_.Text("Family", "Font family " + std::to_string(font) + " \\x00e9l\\x00e9gant");
            reg_.Dword("Weight", 400 + 100 * Random(5));
            reg_.Bytes("Metrics", "hex", RandomBytes(40 + Random(60)));
        }
    }

    void Classes(size_t until) {
        for (uint64_t ordinal = 0; out_.size() < until; ++ordinal) {
            const std::string key = "Software\\Classes\\CLSID\\" + Guid(ordinal);
            reg_.Key(key);
            reg_.Default("Component class " + std::to_string(ordinal));
            reg_.Key(key + "\\InprocServer32");
            reg_.Default("C:\\\\windows\\\\system32\\\\component" + std::to_string(ordinal % 700) +
                         ".dll");
            reg_.Text("ThreadingModel", Random(2) == 0 ? "Both" : "Apartment");
            if (Random(3) == 0) {
                reg_.Key(key + "\\ProgID");
                reg_.Default("Vendor.Component." + std::to_string(ordinal));
            }
        }
    }

    // Outlook Express's accounts: mail accounts with their SMTP values, and directory services
    // without an SMTP server, under names that sort as they are numbered.
    void AccountManager() {
        reg_.Key("Software\\Microsoft\\Internet Account Manager");
        reg_.Text("Default Mail Account", "00000032");
        reg_.Dword("Account Name Index", 0);
        const int total = shape_.mail_accounts + shape_.directory_accounts;
        int mail = 0;
        for (int number = 1; number <= total; ++number) {
            reg_.Key("Software\\Microsoft\\Internet Account Manager\\Accounts\\" + Hex(number, 8));
            // Every sixth account, while there are directory services left, is one.
            const bool directory = mail == shape_.mail_accounts ||
                                   (number % 6 == 0 && number / 6 <= shape_.directory_accounts);
            if (directory) {
                reg_.Text("Account Name", "Directory service " + std::to_string(number));
                reg_.Text("LDAP Server", "ldap" + std::to_string(number) + ".example.com");
                reg_.Dword("LDAP Search Return", 100);
                continue;
            }
            ++mail;
            const std::string n = std::to_string(mail);
            reg_.Text("Account Name", "Mail account " + n);
            reg_.Dword("Connection Type", 3);
            reg_.Text("POP3 Server", "pop" + n + ".example.com");
            reg_.Text("POP3 User Name", "user" + n);
            reg_.Bytes("POP3 Password2", "hex", RandomBytes(48));
            reg_.Text("SMTP Display Name", "Trader " + n + " Zo\\xeb");
            reg_.Text("SMTP Email Address", "trader" + n + "@example.com");
            if (mail % 3 == 0) {
                reg_.Dword("SMTP Port", 587);
            }
            reg_.Dword("SMTP Secure Connection", mail % 2);
            reg_.Text("SMTP Server", "smtp" + n + ".example.com");
            reg_.Dword("SMTP Use Sicily", mail % 4 == 0 ? 2 : 0);
            reg_.Text("SMTP User Name", mail % 5 == 0 ? "" : "smtpuser" + n);
        }
    }

    void Explorer(size_t until) {
        const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
        for (int list = 0; out_.size() < until; ++list) {
            reg_.Key(explorer + "ComDlg32\\OpenSaveMRU\\ext" + Hex(list, 6));
            for (char letter = 'a'; letter < 'a' + 10; ++letter) {
                reg_.Text(std::string(1, letter), "C:\\\\users\\\\trader\\\\Documents\\\\report " +
                                                      std::to_string(list) + letter + ".txt");
            }
            reg_.Text("MRUList", "jihgfedcba");
            reg_.Key(explorer + "Streams\\" + Hex(list, 6));
            reg_.Bytes("ViewView2", "hex", RandomBytes(200 + Random(400)));
        }
    }

    void Wine(size_t until) {
        reg_.Key("Software\\Wine\\DllOverrides");
        reg_.Text("*d3dcompiler_47", "native,builtin");
        for (int app = 0; out_.size() < until; ++app) {
            const std::string key = "Software\\Wine\\AppDefaults\\program" + Hex(app, 6) + ".exe";
            reg_.Key(key);
            reg_.Text("Version", "win7");
            reg_.Key(key + "\\DllOverrides");
            reg_.Text("msxml3", "native,builtin");
            reg_.Bytes("Layout", "hex(3)", RandomBytes(16 + Random(48)));
        }
        out_ += '\n';
    }

    const UserRegShape shape_;
    std::string out_;
    RegWriter reg_;
    std::mt19937 random_{20240601};
};

}  // namespace

std::string GenerateUserReg(const UserRegShape& shape) {
    return Generator(shape).Run();
}

}  // namespace quillet::bench
