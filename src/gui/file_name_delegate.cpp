#include "gui/file_name_delegate.h"

#include "platform/file_names.h"

namespace quorrix {

QString FileNameDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    if (value.typeId() != QMetaType::QString) return QStyledItemDelegate::displayText(value, locale);
    return quotedFileName(value.toString());
}

}  // namespace quorrix
