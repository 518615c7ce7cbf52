// How many days the journal keeps an order's rows: a setting of the settings file, 90 until the
// user sets it (quillet --keep-history DAYS), kept like every other entry (key and value in the
// file's Base64). Old rows go at the next start.
#pragma once

#include <optional>
#include <string>

#include "settings/profile_file.h"

namespace quillet {

constexpr int kDefaultHistoryDays = 90;
constexpr int kMostHistoryDays = 36500;

// The setting as the file holds it now (read afresh); 90 when the file or the key is missing or
// unreadable, or holds anything but a whole number from 1 to 36500.
int ReadHistoryDays(ProfileFile& settings_file);

// Stores `days` (1 to 36500): the file is read afresh, the one entry set and the file saved, so
// that its other lines stay as they are. Gives the reason when the file could not be read or
// written.
Result<> WriteHistoryDays(ProfileFile& settings_file, int days);

}  // namespace quillet
