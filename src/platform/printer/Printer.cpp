#include "Printer.h"

#include "platform/MessageBoxes.h"
#include "store/ShortText.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLibrary>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>

namespace pantrio {

namespace {

// Qt hands the page to CUPS and drops CUPS's answer; CUPS keeps the last answer of each
// thread, so the refusal can still be read right after the painter ends.
QString cupsRefusal()
{
    QLibrary cups(QStringLiteral("cups"), 2);
    using LastError = int (*)();
    using LastErrorString = const char* (*)();
    const auto lastError = reinterpret_cast<LastError>(cups.resolve("cupsLastError"));
    const auto lastErrorString = reinterpret_cast<LastErrorString>(cups.resolve("cupsLastErrorString"));
    if (!lastError || !lastErrorString)
        return {};
    constexpr int firstErrorStatus = 0x0400; // IPP status codes below are successes
    if (lastError() < firstErrorStatus)
        return {};
    return QString::fromUtf8(lastErrorString());
}

// Only the fields up to `isDefault` are read; the library owns the list.
struct CupsDest
{
    char* name;
    char* instance;
    int isDefault;
    int optionCount;
    void* options;
};

QPageSize localPaperSize()
{
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                         : QPageSize::A4);
}

QString suggestedPdfPath(const QString& documentName)
{
    QString name = documentName.trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("Page"));
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(name + QStringLiteral(".pdf"));
}

} // namespace

NoPrinterCause noPrinterCause()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        return NoPrinterCause::NoDefault;
    // Qt lists no printers both when there are none and when the service is down; CUPS tells.
    QLibrary cups(QStringLiteral("cups"), 2);
    using GetDests = int (*)(void* http, CupsDest** dests);
    using FreeDests = void (*)(int count, CupsDest* dests);
    using LastError = int (*)();
    const auto getDests = reinterpret_cast<GetDests>(cups.resolve("cupsGetDests2"));
    const auto freeDests = reinterpret_cast<FreeDests>(cups.resolve("cupsFreeDests"));
    const auto lastError = reinterpret_cast<LastError>(cups.resolve("cupsLastError"));
    if (!getDests || !freeDests || !lastError)
        return NoPrinterCause::NoneSetUp;
    CupsDest* dests = nullptr;
    const int count = getDests(nullptr, &dests);
    freeDests(count, dests);
    constexpr int serviceUnavailable = 0x0502;
    if (count == 0 && lastError() == serviceUnavailable)
        return NoPrinterCause::ServiceStopped;
    return count > 0 ? NoPrinterCause::NoDefault : NoPrinterCause::NoneSetUp;
}

QtPrinter::QtPrinter(MessageBoxes& messages, AskSavePath askSavePath, FindPrinter findPrinter,
                     WhyNoPrinter whyNoPrinter)
    : messages_(messages),
      askSavePath_(std::move(askSavePath)),
      findPrinter_(std::move(findPrinter)),
      whyNoPrinter_(std::move(whyNoPrinter))
{
}

PrintResult QtPrinter::printPage(const QString& documentName, const DrawPage& draw)
{
    const QPrinterInfo target = findPrinter_();
    if (target.isNull())
        return offerPdf(documentName, draw);
    return printOn(target, documentName, draw);
}

PrintResult QtPrinter::printOn(const QPrinterInfo& target, const QString& documentName, const DrawPage& draw)
{
    QPrinter printer(target, QPrinter::HighResolution);
    printer.setDocName(documentName);
    printer.setCopyCount(1);

    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString words = cupsRefusal();
        return failed(printer_text::printFailed(target.printerName(), words), words);
    }
    draw(painter);
    painter.end();

    QString words = cupsRefusal();
    if (words.isEmpty() && printer.printerState() == QPrinter::Error)
        words = QStringLiteral("The printer reported an error.");
    if (!words.isEmpty())
        return failed(printer_text::printFailed(target.printerName(), words), words);
    return {PrintResult::Status::Printed, {}};
}

PrintResult QtPrinter::offerPdf(const QString& documentName, const DrawPage& draw)
{
    if (messages_.show(printer_text::noPrinter(whyNoPrinter_()), printer_text::noPrinterTitle(),
                       MessageIcon::Exclamation, MessageButtons::OkCancel)
        != MessageAnswer::Ok)
        return {PrintResult::Status::NoPrinter, {}};

    const QString path = askSavePath_(suggestedPdfPath(documentName));
    if (path.isEmpty())
        return {PrintResult::Status::Cancelled, {}};

    // QSaveFile: a failed save never leaves half a PDF over an existing file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(printer_text::pdfFailed(path, file.errorString()), file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setTitle(documentName);
        writer.setResolution(1200);
        // A quarter inch all round keeps the page within what printers can reach, should
        // the file be printed later.
        writer.setPageLayout(QPageLayout(localPaperSize(), QPageLayout::Portrait,
                                         QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch));
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return failed(printer_text::pdfFailed(path, QString()), QString());
        }
        draw(painter);
        painter.end();
    }
    if (!file.commit())
        return failed(printer_text::pdfFailed(path, file.errorString()), file.errorString());
    return {PrintResult::Status::SavedAsPdf, path};
}

PrintResult QtPrinter::failed(const QString& text, const QString& detail)
{
    messages_.show(text, printer_text::failedTitle(), MessageIcon::None);
    return {PrintResult::Status::Failed, detail};
}

QString QtPrinter::askWithSaveDialog(const QString& suggestedPath)
{
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Save as PDF"), suggestedPath,
                       QStringLiteral("PDF files (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

namespace printer_text {

QString noPrinterTitle()
{
    return QStringLiteral("No printer");
}

QString noPrinter(NoPrinterCause cause)
{
    QString text;
    switch (cause) {
    case NoPrinterCause::NoneSetUp:
        text = QStringLiteral("No printer is set up on this computer, so the page cannot be printed.");
        break;
    case NoPrinterCause::ServiceStopped:
        text = QStringLiteral("The printing service of this computer is not running, so the page cannot be "
                              "printed. Starting it again, or restarting the computer, may help.");
        break;
    case NoPrinterCause::NoDefault:
        text = QStringLiteral("None of the printers on this computer is set as the default printer, so the "
                              "page cannot be printed. Choose a default printer in the system's printer "
                              "settings.");
        break;
    }
    return text + QStringLiteral("\n\nSave the page as a PDF file instead?");
}

QString failedTitle()
{
    return QStringLiteral("Printing failed");
}

QString printFailed(const QString& printerName, const QString& printerWords)
{
    QString text =
        QStringLiteral("The page could not be printed on \u201C%1\u201D.").arg(shortText(printerName));
    if (!printerWords.isEmpty())
        text += QStringLiteral("\n\nThe printer reports: %1").arg(printerWords);
    return text;
}

QString pdfFailed(const QString& path, const QString& systemWords)
{
    QString text = QStringLiteral("The page could not be saved as \u201C%1\u201D.").arg(QDir::toNativeSeparators(path));
    if (!systemWords.isEmpty())
        text += QStringLiteral("\n\n%1").arg(systemWords);
    return text;
}

} // namespace printer_text

} // namespace pantrio
