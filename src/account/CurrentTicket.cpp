#include "account/CurrentTicket.h"

#include <mutex>

namespace {

std::mutex g_mutex;
std::string g_ticket;

} // namespace

std::string CurrentTicket()
{
    const std::lock_guard lock(g_mutex);
    return g_ticket;
}

void SetCurrentTicket(const std::string& ticket)
{
    const std::lock_guard lock(g_mutex);
    g_ticket = ticket;
}
