#pragma once
// Small helpers every test may use: the corpus location and building ZIP packages in a test.

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace TestSupport {

// The real-world corpus folder (TABULYX_CORPUS overrides the configured one); empty when absent,
// and tests that need it skip.
QString CorpusDir();

// Writes a ZIP archive at APath with the given members (name, bytes), deflated.
// Returns false and fills AError on failure.
bool WriteZip(const QString &APath, const std::vector<std::pair<QString, QByteArray>> &AMembers,
              QString *AError = nullptr);

// The same package as bytes in memory.
QByteArray MakeZip(const std::vector<std::pair<QString, QByteArray>> &AMembers);

} // namespace TestSupport
