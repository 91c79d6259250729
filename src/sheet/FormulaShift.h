#pragma once
// Moves the relative references of a formula text by a number of rows and columns, as Excel does
// when it fills a shared formula into its cells or when a formula is copied elsewhere.
//
// Usage:
//   ShiftFormulaReferences("SUM(A1:B2)*$C$1", 2, 1)   // "SUM(B3:C4)*$C$1"
//
// Caveats: the text is given without '='. Strings, quoted sheet names and bracketed parts
// (external books, table columns) are left alone; a reference pushed off the grid becomes #REF!.

#include <QString>

QString ShiftFormulaReferences(const QString &AFormula, int ADeltaRow, int ADeltaCol);
