#include "console/core/Collation.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>

namespace warden::console {

namespace {

const QCollator& ChineseCollator() {
    static const QCollator collator = [] {
        QCollator chinese(QLocale(QLocale::Chinese, QLocale::China));
        chinese.setCaseSensitivity(Qt::CaseInsensitive);
        return chinese;
    }();
    return collator;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
    if (int order = ChineseCollator().compare(FromUtf8(a), FromUtf8(b)); order != 0) {
        return Sign(order);
    }
    return Sign(a.compare(b));
}

void SortNames(std::vector<std::string>& names) {
    struct Keyed {
        QCollatorSortKey key;
        std::string name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        keyed.push_back({ChineseCollator().sortKey(FromUtf8(name)), std::move(name)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& x, const Keyed& y) {
        int order = x.key.compare(y.key);
        return order != 0 ? order < 0 : x.name < y.name;
    });
    for (size_t i = 0; i < names.size(); ++i) names[i] = std::move(keyed[i].name);
}

}  // namespace warden::console
