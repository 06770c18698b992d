#include "pages/common/report_list.h"

#include <QFontMetrics>
#include <QHeaderView>

namespace brisfell {

QStringList ToQStringList(const std::vector<std::string>& texts) {
  QStringList out;
  for (const auto& t : texts) out << QString::fromStdString(t);
  return out;
}

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headers, const QList<int>& widths) {
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAlternatingRowColors(true);
  list->setColumnCount(headers.size());
  list->setHeaderLabels(headers);
  list->header()->setStretchLastSection(true);
  list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QFontMetrics fm(list->header()->font());
  for (int c = 0; c < headers.size(); ++c) {
    int need = fm.horizontalAdvance(headers[c]) + 24;
    int w = c < widths.size() ? std::max(widths[c], need) : need;
    list->setColumnWidth(c, w);
  }
  return list;
}

QTreeWidget* MakeReportList(QWidget* parent, const Table& columnsOnly, const QList<int>& widths) {
  return MakeReportList(parent, ToQStringList(columnsOnly.columns), widths);
}

void ClearReportList(QTreeWidget* list) { list->clear(); }

void FillReportList(QTreeWidget* list, const Table& table) {
  list->clear();
  QList<QTreeWidgetItem*> items;
  for (const auto& row : table.rows) items << new QTreeWidgetItem(ToQStringList(row));
  list->addTopLevelItems(items);
  QFontMetrics fm(list->font());
  for (int c = 0; c + 1 < list->columnCount(); ++c) {
    int need = list->columnWidth(c);
    for (const auto& row : table.rows)
      if (c < static_cast<int>(row.size()))
        need = std::max(need, fm.horizontalAdvance(QString::fromStdString(row[c])) + 16);
    list->setColumnWidth(c, need);
  }
}

int SelectionMark(const QTreeWidget* list) {
  const auto selected = list->selectedItems();
  if (selected.isEmpty()) return -1;
  return list->indexOfTopLevelItem(selected.first());
}

}  // namespace brisfell
