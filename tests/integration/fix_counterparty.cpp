// A FIX counterparty for the tests: a QuickFIX acceptor with the sessions of the settings file
// argv[1], run by commands on standard input, one a line:
//   report EXECTYPE EXECID ORDERID SIDE ORDTYPE QTY PRICE STOPPX [dup] [TAG=VALUE...]
//       an execution report (stored and sent on a resend request when no one is logged on);
//       "dup" marks it PossDupFlag=Y; TAG=VALUE sets a field (LastQty, Text...), a VALUE of "*N"
//       making it N x's
//   logout       logs the session out and refuses logons; logon: takes them again
// It prints "logon" and "logout" as they happen. C++14, for QuickFIX's headers.
#include <quickfix/Application.h>
#include <quickfix/FileLog.h>
#include <quickfix/FileStore.h>
#include <quickfix/Session.h>
#include <quickfix/SessionSettings.h>
#include <quickfix/SocketAcceptor.h>

#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

#pragma GCC diagnostic ignored "-Wdeprecated"  // QuickFIX's dynamic exception specifications

namespace {

class Counterparty : public FIX::Application {
  private:
    void onCreate(const FIX::SessionID&) override {}
    void onLogon(const FIX::SessionID&) override { std::cout << "logon" << std::endl; }
    void onLogout(const FIX::SessionID&) override { std::cout << "logout" << std::endl; }
    void toAdmin(FIX::Message&, const FIX::SessionID&) override {}
    void toApp(FIX::Message&, const FIX::SessionID&) throw(FIX::DoNotSend) override {}
    void fromAdmin(const FIX::Message&, const FIX::SessionID&) throw(
        FIX::FieldNotFound, FIX::IncorrectDataFormat, FIX::IncorrectTagValue,
        FIX::RejectLogon) override {}
    void fromApp(const FIX::Message&, const FIX::SessionID&) throw(
        FIX::FieldNotFound, FIX::IncorrectDataFormat, FIX::IncorrectTagValue,
        FIX::UnsupportedMessageType) override {}
};

FIX::Message Report(std::istringstream& in) {
    std::string exec_type, exec_id, order_id, side, ord_type, qty, price, stop;
    in >> exec_type >> exec_id >> order_id >> side >> ord_type >> qty >> price >> stop;
    bool dup = false;
    std::vector<std::pair<int, std::string>> set;
    for (std::string word; in >> word;) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos) {
            dup = dup || word == "dup";
            continue;
        }
        std::string value = word.substr(equals + 1);
        if (!value.empty() && value[0] == '*') {
            value = std::string(std::stoul(value.substr(1)), 'x');
        }
        set.emplace_back(std::stoi(word.substr(0, equals)), value);
    }
    FIX::Message report;
    report.getHeader().setField(FIX::FIELD::MsgType, "8");
    if (dup) {
        report.getHeader().setField(FIX::FIELD::PossDupFlag, "Y");
        report.getHeader().setField(FIX::OrigSendingTime(FIX::UtcTimeStamp()));
    }
    const std::pair<int, std::string> fields[] = {
        {FIX::FIELD::OrderID, order_id}, {FIX::FIELD::ClOrdID, "c" + exec_id},
        {FIX::FIELD::ExecID, exec_id},   {FIX::FIELD::ExecType, exec_type},
        {FIX::FIELD::OrdStatus, exec_type}, {FIX::FIELD::Account, "ACC1"},
        {FIX::FIELD::Symbol, "XYZ"},     {FIX::FIELD::SecurityExchange, "XNAS"},
        {FIX::FIELD::Side, side},        {FIX::FIELD::OrderQty, qty},
        {FIX::FIELD::OrdType, ord_type}, {FIX::FIELD::Price, price},
        {FIX::FIELD::StopPx, stop},      {FIX::FIELD::LeavesQty, qty},
        {FIX::FIELD::CumQty, "0"},       {FIX::FIELD::AvgPx, "0"},
        {FIX::FIELD::Text, "drop copy"}};
    for (const auto& field : fields) {
        report.setField(field.first, field.second);
    }
    for (const auto& field : set) {
        report.setField(field.first, field.second);
    }
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fix_counterparty SETTINGS\n";
        return 2;
    }
    try {
        FIX::SessionSettings settings(argv[1]);
        const FIX::SessionID id = *settings.getSessions().begin();
        Counterparty counterparty;
        FIX::FileStoreFactory stores(settings);
        FIX::FileLogFactory logs(settings);
        FIX::SocketAcceptor acceptor(counterparty, stores, settings, logs);
        acceptor.start();
        std::cout << "listening" << std::endl;
        for (std::string line; std::getline(std::cin, line);) {
            std::istringstream in(line);
            std::string command;
            in >> command;
            if (command == "report") {
                FIX::Message report = Report(in);
                FIX::Session::sendToTarget(report, id);
            } else if (command == "logout") {
                FIX::Session::lookupSession(id)->logout("bye");
            } else if (command == "logon") {
                FIX::Session::lookupSession(id)->logon();
            }
        }
        acceptor.stop(true);
    } catch (const std::exception& error) {
        std::cerr << "fix_counterparty: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
