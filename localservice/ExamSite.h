#pragma once

namespace httplib {
class Server;
}

// The question-bank pages under "Simulation/": the subject list, the papers of a subject and the
// exam pages (their addresses contain "Client"), with their style, script, question data and the
// listening questions' audio. The pages use the client's bridge when it is there and plain
// browser features when it is not.
namespace ExamSite {
void Register(httplib::Server& server);
}
