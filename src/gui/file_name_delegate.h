#pragma once

#include <QStyledItemDelegate>

namespace quorrix {

// Shows the file names of a list as a terminal would (quotedFileName): a byte that is no UTF-8 or
// a control character is shown quoted instead of as a box, while the entry keeps its text.
class FileNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override;
};

}  // namespace quorrix
