#pragma once

struct ServiceContext;
namespace httplib {
class Server;
}

// The service's own pages and the controls tests use: the SMS codes it would have sent, server
// notices and dropped IM connections, refused accounts, armed faults and stored tracking records.
namespace AdminApi {
void Register(httplib::Server& server, ServiceContext& context);
}
