#pragma once

#include "FaultInjector.h"
#include "ImChannel.h"
#include "ServiceConsole.h"
#include "ServiceOptions.h"
#include "ServiceStore.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <memory>

// What the request handlers share: the options, the data, the faults armed by tests, the
// console, and the way to the IM service.
struct ServiceContext
{
    ServiceOptions options;
    ServiceStore store;
    FaultInjector faults;
    ServiceConsole console;
    std::unique_ptr<ImChannel> im;
    std::string signSecret;
    std::string imAppKey;
};

// A JSON answer, UTF-8.
inline void ReplyJson(httplib::Response& response, int status, const QJsonObject& body)
{
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json; charset=utf-8");
}

// A route handler that gets the context: handler(context, request, response).
template <typename Handler>
auto WithContext(ServiceContext& context, Handler handler)
{
    return [&context, handler](const httplib::Request& request, httplib::Response& response) {
        handler(context, request, response);
    };
}
