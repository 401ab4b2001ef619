#pragma once

#include "alert/AlertTiming.h"

class TVeskDataMdl;

// Alerts are written to the history data module; without one the insert answers false.
// Rows given to InsertEqHistoryRecordLater go to the module's writer thread.
class TVeskDataMdlHistoryStore : public TEqHistoryStore
{
public:
    // Null: the process-wide module at the time of each insert.
    explicit TVeskDataMdlHistoryStore(TVeskDataMdl* ADataMdl = nullptr) : FDataMdl(ADataMdl) {}
    bool InsertEqHistoryRecord(const TEqHistory& EqHistory) override;
    void InsertEqHistoryRecordLater(const TEqHistory& EqHistory, TDone Done) override;

private:
    TVeskDataMdl* DataMdl() const;
    TVeskDataMdl* FDataMdl;
};
