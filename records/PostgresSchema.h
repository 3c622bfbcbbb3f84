// The tables on the line's server, brought up to date by whichever station
// gets there first.
#pragma once

namespace records {

class PgConnection;

// Applies what migrations the server lacks, under a transaction-level
// advisory lock: twenty stations starting at once migrate once, the others
// wait and find it done. Throws StoreError (Kind::Newer for a schema this
// version does not know).
void MigratePostgres(PgConnection& connection);

}  // namespace records
