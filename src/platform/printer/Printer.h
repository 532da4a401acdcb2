#pragma once

#include <QPrinterInfo>
#include <QString>

#include <functional>

class QPainter;

namespace pantrio {

class MessageBoxes;

struct PrintResult
{
    enum class Status {
        Printed,    // handed to the printer
        SavedAsPdf, // no printer; the page went to the PDF file in `detail`
        NoPrinter,  // no printer, and the user turned down the PDF file
        Cancelled,  // the user closed the save dialog without a file name
        Failed,     // printer or file failure; `detail` holds the printer's or the system's words
    };
    Status status = Status::Failed;
    QString detail;
};

// Prints single pages. Whatever the user has to be told or asked along the way
// (no printer, a failure) the printer tells and asks; the result is for the caller's record.
class Printer
{
public:
    // Draws the page. The painter's origin is the top-left corner of the printable area and
    // its unit is one device dot; painter.device() gives the resolution.
    using DrawPage = std::function<void(QPainter& painter)>;

    virtual ~Printer() = default;
    // `documentName` names the job in the print queue and the suggested PDF file.
    virtual PrintResult printPage(const QString& documentName, const DrawPage& draw) = 0;
};

// Why the system names no default printer.
enum class NoPrinterCause {
    NoneSetUp,      // the print service knows no printer
    ServiceStopped, // the print service does not answer
    NoDefault,      // printers are set up, none of them as the default
};

// Asks the print service why there is no default printer.
NoPrinterCause noPrinterCause();

// The system's default printer, no print dialog, one copy. Without a printer the user is
// offered a PDF file instead.
class QtPrinter final : public Printer
{
public:
    // Returns the chosen file, or an empty string when the user cancels.
    using AskSavePath = std::function<QString(const QString& suggestedPath)>;
    using FindPrinter = std::function<QPrinterInfo()>;
    using WhyNoPrinter = std::function<NoPrinterCause()>;

    explicit QtPrinter(MessageBoxes& messages, AskSavePath askSavePath = askWithSaveDialog,
                       FindPrinter findPrinter = &QPrinterInfo::defaultPrinter,
                       WhyNoPrinter whyNoPrinter = &noPrinterCause);

    PrintResult printPage(const QString& documentName, const DrawPage& draw) override;

    // The standard save dialog, for PDF files.
    static QString askWithSaveDialog(const QString& suggestedPath);

private:
    PrintResult printOn(const QPrinterInfo& target, const QString& documentName, const DrawPage& draw);
    PrintResult offerPdf(const QString& documentName, const DrawPage& draw);
    PrintResult failed(const QString& text, const QString& detail);

    MessageBoxes& messages_;
    AskSavePath askSavePath_;
    FindPrinter findPrinter_;
    WhyNoPrinter whyNoPrinter_;
};

// What the printer says to the user.
namespace printer_text {
QString noPrinterTitle();
QString noPrinter(NoPrinterCause cause = NoPrinterCause::NoneSetUp);
QString failedTitle();
QString printFailed(const QString& printerName, const QString& printerWords);
QString pdfFailed(const QString& path, const QString& systemWords);
} // namespace printer_text

} // namespace pantrio
