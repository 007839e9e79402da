#include "importer/plans/p6/p6_reader.h"

namespace quorrix::importer::plans {

bool isP6File(const QByteArray& head) { return isXerFile(head) || isP6XmlFile(head); }

Plan readP6(QByteArray bytes, const ReadOptions& options) {
    if (isXerFile(bytes.left(16))) return readXer(std::move(bytes), options);
    return readP6Xml(std::move(bytes), options);
}

}  // namespace quorrix::importer::plans
