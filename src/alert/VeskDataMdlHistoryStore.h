#pragma once

#include "alert/AlertTiming.h"

class TVeskDataMdl;

// Alerts are written to the history data module; without one the insert answers false.
class TVeskDataMdlHistoryStore : public TEqHistoryStore
{
public:
    // Null: the process-wide module at the time of each insert.
    explicit TVeskDataMdlHistoryStore(TVeskDataMdl* ADataMdl = nullptr) : FDataMdl(ADataMdl) {}
    bool InsertEqHistoryRecord(const TEqHistory& EqHistory) override;

private:
    TVeskDataMdl* FDataMdl;
};
