#pragma once

struct ServiceContext;
namespace httplib {
class Server;
}

// The version check ("client/version" answers "<version>#<download address>") and the
// installer download, streamed with its length so that the client can show progress.
namespace UpdateApi {
void Register(httplib::Server& server, ServiceContext& context);
}
