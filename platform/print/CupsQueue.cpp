#include "platform/print/CupsQueue.h"

#include <cups/cups.h>
#include <cups/ipp.h>

#include <memory>

namespace print {

namespace {

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

} // namespace

QueueState AskQueue(const QString& name)
{
    QueueState state;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-is-accepting-jobs", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, wanted);
    // cupsDoRequest takes the request over.
    const Ipp response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_CONFLICTING)
        return state;
    state.known = true;
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        state.accepting = ippGetBoolean(a, 0) != 0;
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT))
        state.reason = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
    return state;
}

QString LastRequestRefusal()
{
    if (cupsLastError() <= IPP_STATUS_OK_CONFLICTING)
        return {};
    return QString::fromUtf8(cupsLastErrorString());
}

} // namespace print
