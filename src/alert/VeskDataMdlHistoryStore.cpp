#include "alert/VeskDataMdlHistoryStore.h"

#include "history/VeskData.h"

TVeskDataMdl* TVeskDataMdlHistoryStore::DataMdl() const
{
    return FDataMdl ? FDataMdl : VeskDataMdl();
}

bool TVeskDataMdlHistoryStore::InsertEqHistoryRecord(const TEqHistory& EqHistory)
{
    TVeskDataMdl* dataMdl = DataMdl();
    return dataMdl ? dataMdl->InsertEqHistoryRecord(EqHistory) : false;
}

void TVeskDataMdlHistoryStore::InsertEqHistoryRecordLater(const TEqHistory& EqHistory, TDone Done)
{
    if (TVeskDataMdl* dataMdl = DataMdl()) {
        dataMdl->QueueEqHistoryRecord(EqHistory, std::move(Done));
    } else {
        Done(false);
    }
}
