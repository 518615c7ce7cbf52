// The fields of a FIX execution report (35=8) that order events are made of, as the counterparty
// sent them: each field's text, empty when the report does not carry it. Plain C++14, so that the
// FIX engine's adapter, built as C++14, fills it in.
#pragma once

#include <string>

namespace quillet {

struct FixReportFields {
    std::string ExecType;          // 150: '0' New, '5' Replaced, '4' Canceled, 'F' Trade, others
    std::string ExecID;            // 17: the report's own id, unique for the session's day
    std::string OrderID;           // 37: the counterparty's id of the order
    std::string ClOrdID;           // 11: the trader's id of this request
    std::string Side;              // 54
    std::string OrdType;           // 40
    std::string OrderQty;          // 38
    std::string Price;             // 44
    std::string StopPx;            // 99
    std::string Symbol;            // 55
    std::string SecurityID;        // 48, for an instrument without a Symbol
    std::string SecurityExchange;  // 207
    std::string Account;           // 1
    std::string Text;              // 58
    std::string LastQty;           // 32, of this fill
    std::string LastPx;            // 31, of this fill
    std::string CumQty;            // 14, of the order so far
    std::string LeavesQty;         // 151, of the order still open
    std::string OrdRejReason;      // 103
};

}  // namespace quillet
