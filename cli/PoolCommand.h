// tirvelctl pool: value pools imported into the store the records setting
// names, and looked at there, as a table or JSON.
#pragma once

#include <string>

#include "cli/Console.h"
#include "job/ValuesTable.h"
#include "records/PoolStore.h"
#include "records/RecordsSetting.h"

namespace cli {

// fileName: the table's file as the operator named it, for the messages.
int RunPoolImport(Console& console, const records::RecordsSetting& where, const std::string& name,
                  const job::ValuesTable& table, const std::string& fileName, bool json);
int RunPoolStatus(Console& console, const records::RecordsSetting& where, const std::string& name,
                  bool json);
int RunPoolList(Console& console, const records::RecordsSetting& where, bool json);
int RunPoolShow(Console& console, const records::RecordsSetting& where, const std::string& imei,
                bool json);

// What a pool call's refusal says to the operator: an unknown pool, a name
// taken (pool: the name the call gave), or the store's trouble at where.
void TellPoolFailure(Console& console, const records::RecordsSetting& where,
                     const std::string& pool, const std::exception& failure);

}  // namespace cli
