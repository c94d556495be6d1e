#include "file_filter.h"

#include <QRegularExpression>
#include <QStringList>

namespace tarnak::gui {

namespace {

QStringList Variants(const QString& pattern) {
  if (pattern == "*.*" || pattern == "*") return {"*"};
  QStringList out{pattern};
  const qsizetype dot = pattern.lastIndexOf('.');
  if (dot >= 0) {
    const QString stem = pattern.left(dot + 1);
    const QString ext = pattern.mid(dot + 1);
    for (const QString& v : {stem + ext.toUpper(), stem + ext.toLower()})
      if (!out.contains(v)) out << v;
  }
  return out;
}

QString StripOwnPatterns(const QString& description) {
  static const QRegularExpression trailing(R"(\s*\([^()]*\)\s*$)");
  QString text = description;
  text.remove(trailing);
  return text.trimmed().isEmpty() ? description.trimmed() : text.trimmed();
}

}  // namespace

QString QtFileFilter(const QString& classicFilter) {
  const QStringList fields = classicFilter.split('|');
  QStringList filters;
  for (int i = 0; i < fields.size(); i += 2) {
    const QString description = fields[i];
    if (i + 1 >= fields.size()) {
      filters << description.trimmed() + " (*)";
      break;
    }
    QStringList patterns;
    for (const QString& p : fields[i + 1].split(';', Qt::SkipEmptyParts))
      for (const QString& v : Variants(p.trimmed()))
        if (!patterns.contains(v)) patterns << v;
    if (patterns.isEmpty()) patterns << "*";
    filters << StripOwnPatterns(description) + " (" + patterns.join(' ') + ")";
  }
  return filters.join(";;");
}

}  // namespace tarnak::gui
