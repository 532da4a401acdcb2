#include "RecipeListModel.h"

#include <array>

namespace pantrio {

namespace {

// As the recipe window's labels spell them.
const std::array<QString, 3> Headers = {QStringLiteral("Recipe Name"), QStringLiteral("Food Category"),
                                        QStringLiteral("Preperation Time")};

} // namespace

RecipeList::Column RecipeListModel::columnAt(int section)
{
    return section == 1   ? RecipeList::Column::Category
           : section == 2 ? RecipeList::Column::Time
                          : RecipeList::Column::Name;
}

int RecipeListModel::sectionOf(RecipeList::Column column)
{
    return column == RecipeList::Column::Category ? 1 : column == RecipeList::Column::Time ? 2 : 0;
}

void RecipeListModel::setList(RecipeList* list)
{
    if (list == list_)
        return;
    if (list_)
        disconnect(list_, nullptr, this, nullptr);
    beginResetModel();
    list_ = list;
    endResetModel();
    if (list_)
        connect(list_, &RecipeList::shownChanged, this, &RecipeListModel::renew);
    emit rowsRenewed();
}

void RecipeListModel::renew()
{
    // The list has changed already; the view only needs to ask again.
    beginResetModel();
    endResetModel();
    emit rowsRenewed();
}

int RecipeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !list_ ? 0 : list_->shownCount();
}

int RecipeListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Headers.size());
}

QVariant RecipeListModel::data(const QModelIndex& index, int role) const
{
    if (!list_ || !index.isValid() || index.row() >= list_->shownCount())
        return {};
    if (role == Qt::DisplayRole)
        return list_->text(index.row(), columnAt(index.column()));
    if (role == Qt::AccessibleTextRole) {
        // The whole row, so that moving through the list reads each recipe at once.
        QStringList parts;
        for (int c = 0; c < columnCount(); ++c)
            parts << list_->text(index.row(), columnAt(c));
        return parts.join(QStringLiteral(", "));
    }
    return {};
}

QVariant RecipeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(Headers.size()))
        return Headers[size_t(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace pantrio
