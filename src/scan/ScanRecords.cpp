#include "ScanRecords.h"

TBookScan::TBookScan(const TBookScan &AOther)
    : BookPath(AOther.BookPath), ExistingNames(AOther.ExistingNames), SheetCount(AOther.SheetCount),
      ReadOnly(AOther.ReadOnly), LoadOK(AOther.LoadOK), LoadMsg(AOther.LoadMsg), SheetTotal(AOther.SheetTotal),
      NewName(AOther.NewName), HeaderRow0(AOther.HeaderRow0), Sheets(CloneList(AOther.Sheets)) {}
