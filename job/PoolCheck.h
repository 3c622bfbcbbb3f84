// A batch's value pool, checked before any port opens, by tirvelctl and by
// the station window alike: the records it keeps its ties in, the pool being
// there, and no item given both by the pool and by the values table.
#pragma once

#include <string>

#include "job/ValuesTable.h"
#include "records/RecordsSetting.h"

namespace job {

// Why the job cannot draw from pool (empty: none), in the operator's
// language; empty when it may. table: the job's values table (null: none),
// named valuesName. A server that does not answer is no refusal: a station
// draws from the rows reserved for it until the server is back.
std::string PoolRefusal(const records::RecordsSetting& where, const std::string& pool,
                        const ValuesTable* table, const std::string& valuesName);

}  // namespace job
