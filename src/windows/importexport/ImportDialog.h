#pragma once

#include "exchange/RecipeImport.h"

#include <functional>
#include <QDialog>
#include <QHash>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace pantrio {

struct Services;
enum class MessageIcon;
namespace exchange {
class PageFetcher;
}

// What to import: recipe files, chosen several at a time and listed until removed, and the
// address of a web page. The page is fetched first, without holding up the window; Cancel
// then stops the fetch, and a fetch that fails says why and leaves everything as it was,
// the address typed included. The import itself is the caller's.
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    // Imports the files and fetched pages (by the names `files` gives them); true when it is
    // over and the dialog has nothing left to do, false to keep it open as it is.
    using Importer =
        std::function<bool(const QStringList& files, const QHash<QString, exchange::FetchedPage>& pages)>;

    ImportDialog(Services& services, Importer importer, QWidget* parent = nullptr);
    ~ImportDialog() override;

    QStringList files() const;
    void addFiles(const QStringList& files);

public slots:
    // While a page is being fetched, stops the fetch and nothing more.
    void reject() override;

protected:
    // Files dropped on the dialog join the list.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void chooseFiles();
    void removeSelected();
    void startImport();
    void fetchFinished();
    void setFetching(bool fetching);
    void showProgress(qint64 received, qint64 total);
    void finish(const QStringList& files, const QHash<QString, exchange::FetchedPage>& pages);
    void tell(const QString& text, MessageIcon icon);

    Services& services_;
    Importer importer_;
    QListWidget* fileList_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QLineEdit* addressBox_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* importButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    exchange::PageFetcher* fetcher_ = nullptr;
    QString fetching_; // the address as typed, while it is fetched
};

} // namespace pantrio
