#pragma once

#include "app/RecipeList.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace pantrio {

// The recipe list's rows for a view: three columns headed as the recipe window labels its
// fields. Each row reads to a screen reader as its name, category and time.
class RecipeListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit RecipeListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setList(RecipeList* list);
    RecipeList* list() const { return list_; }

    static RecipeList::Column columnAt(int section);
    static int sectionOf(RecipeList::Column column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // After the rows changed; the view has been reset.
    void rowsRenewed();

private:
    void renew();

    QPointer<RecipeList> list_;
};

} // namespace pantrio
