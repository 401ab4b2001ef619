#include "alert/VeskDataMdlHistoryStore.h"

#include "history/VeskData.h"

bool TVeskDataMdlHistoryStore::InsertEqHistoryRecord(const TEqHistory& EqHistory)
{
    TVeskDataMdl* dataMdl = FDataMdl ? FDataMdl : VeskDataMdl();
    return dataMdl ? dataMdl->InsertEqHistoryRecord(EqHistory) : false;
}
