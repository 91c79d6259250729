#pragma once
// The helpers every operation makes names with: safe file and sheet names, unique names against
// the disk and the names already planned, sequence numbers, name templates and name lists typed by
// the user or read from a text file. Pure functions over QString (lengths in UTF-16 code units);
// none of them raises. Letter case is ignored by the one rule of TextUtils.h (SameText).
//
// Some operations use different forms of the same helper (which characters are replaced, how long
// a name may be, "(n)" or "_n" suffixes). The forms are kept apart on purpose: changing one would
// change the names users already get from another operation.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// Which sheet-name rule: the merge form trims and replaces [ ] : * ?; the add form replaces
// \ / ? * [ ] :, drops outer apostrophes, trims and may return ""; the split form does not trim.
enum class TSheetNameForm { snfMerge, snfAdd, snfSplit };

// Suffix style of unique names: "name(1)" or "name_1".
enum class TUniqueSuffix { usParen, usUnderscore };

// Encoding choice for name-list files; the values are stored in settings and must not change.
enum class TNameListEncoding { Auto = 0, Utf8 = 1, Gbk = 2 };

// The clock templates read for {date} and {time}; an empty one reads local time.
using TNameClock = std::function<QDateTime()>;

// ---- file names ----

// Replacing form: trim, illegal characters \ / : * ? " < > | become "_", trailing blanks and dots
// dropped, at most 120 characters, reserved device names (CON, PRN, AUX, NUL, COM1..9, LPT1..9)
// get a leading "_". Never empty ("Sheet").
QString SanitizeFileName(const QString &AName);
// Deleting form: illegal characters removed, then trimmed. No length limit. Never empty ("Sheet").
QString StripFileName(const QString &AName);
// False for an empty name, a name whose part before the extension is blank, or a name holding an
// illegal character anywhere (extension included).
bool IsValidFileName(const QString &AName);

// ---- sheet names ----

QString SanitizeSheetName(const QString &AName, TSheetNameForm AForm);

// ---- unique names ----

// A free path beside APath: "(n)" tries dir/base(1).ext .. base(100000).ext and gives APath back
// when all are taken; "_n" tries APath itself first, then base_1 .. base_10000 (the base shortened
// so that base plus suffix stays within 120 characters) and gives the last candidate when all are
// taken. A candidate is taken when anything exists at it on disk or it is in APlanned.
QString MakeUniqueFileName(const QString &APath, const QStringList &APlanned, TUniqueSuffix AForm);

// A free sheet name (at most 31 characters). "(n)" gives AName itself when free, else name(1) ..
// name(10000), else AName. "_n" gives AName when free, else name_1 .. name_10000 cut to 31, else the
// last candidate. AExisting (the workbook's sheets) and ATaken (names of this run) may be null.
QString MakeUniqueSheetName(const QString &AName, const QStringList *AExisting, const QStringList *ATaken,
                            TUniqueSuffix AForm);
QString MakeUniqueSheetName(const QString &AName, const QStringList &AExisting, const QStringList &ATaken,
                            TUniqueSuffix AForm);

// ---- numbers and templates ----

// AWidth <= 0: plain decimal; else at least AWidth digits, zero-padded after the sign ("%.*d").
QString FormatSeqNumber(int ANumber, int AWidth);

// Replaces, in this order and each everywhere, case-sensitively: {book} (file name of ABookPath
// without its last extension), {sheet}, {index}, {date} (yyyyMMdd), {time} (HHmmss). Text brought
// in by one placeholder is subject to the later ones. The result is not sanitised.
QString ExpandNameTemplate(const QString &ATemplate, const QString &ABookPath, const QString &ASheetName,
                           const QString &AIndexText, const TNameClock &AClock = {});
// The sheet-split form: also {value}, {rows} and {cols}, after {index} and before {date}.
QString ExpandNameTemplate(const QString &ATemplate, const QString &ABookPath, const QString &ASheetName,
                           const QString &AIndexText, const QString &AGroupValue, int ARowCount, int AColCount,
                           const TNameClock &AClock = {});

// ---- name lists ----

// Splits at line breaks and at ; , | ； ， 、. Pieces blank after trimming are always dropped;
// ATrim trims the kept ones; ADedup removes repeats (DedupNames).
QStringList SplitNameList(const QString &AText, bool ATrim, bool ADedup);

// The lines of a text file as names. A missing file (or an empty path) gives an empty list
// silently; a file that cannot be read is logged at Error level ("读取名称列表失败: " + reason)
// and gives an empty list. ATrimLines trims each line; an empty line is always dropped, and with
// ADropBlankLines so is one that is blank after trimming. AAppendXlsx appends ".xlsx" to a line
// without extension. Callers that always drop blank lines pass ADropBlankLines = true.
QStringList LoadNameListFile(const QString &APath, TNameListEncoding AEncoding, bool ATrimLines,
                             bool ADropBlankLines, bool ADedup, bool AAppendXlsx = false);

// Keeps the first of every group of names equal without regard to case, in order.
void DedupNames(QStringList &ANames);

// The combo items of the encoding row, in TNameListEncoding order.
QStringList NameListEncodingItems();
// "UTF-8" -> Utf8, "ANSI(GBK)" -> Gbk (trimmed, any case), anything else -> Auto.
TNameListEncoding NameListEncodingFromText(const QString &AText);

// ---- path pieces (both / and \ separate folders, so Windows paths split the same everywhere) ----

// The file name without folder.
QString ExtractFileName(const QString &APath);
// The extension from the file name's last dot, dot included; "" when there is none.
QString ExtractFileExt(const QString &APath);
// The file name without folder and without its last extension ("a.b.xlsx" gives "a.b").
QString ExtractFileBaseName(const QString &APath);
