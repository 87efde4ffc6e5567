#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

// The service's data in one SQLite file: accounts, sign-in sessions (ticket and IM token),
// registration and reset flows, SMS codes and tracking records. Every call is one transaction
// under one lock, so the HTTP threads and the IM thread share it safely.
class ServiceStore
{
public:
    struct Account
    {
        std::string mobile;
        std::int64_t userId = 0;
        std::string imAccount;
        bool blocked = false;
    };
    struct Session
    {
        std::string ticket;
        std::string mobile;
        std::string imToken;
    };
    enum class Purpose
    {
        Register,
        Reset
    };
    enum class CodeCheck
    {
        Ok,
        Wrong,
        Expired
    };

    ServiceStore() = default;
    ~ServiceStore();
    ServiceStore(const ServiceStore&) = delete;
    ServiceStore& operator=(const ServiceStore&) = delete;

    // Opens (creating when missing) the database and its tables; the error text when it fails.
    std::optional<std::string> Open(const std::string& path);

    // Accounts. Passwords are kept as salted SHA-256 digests.
    bool CreateAccount(const std::string& mobile, const std::string& password);
    [[nodiscard]] std::optional<Account> FindAccount(const std::string& mobile);
    [[nodiscard]] std::optional<Account> FindAccountByImAccount(const std::string& imAccount);
    [[nodiscard]] bool CheckPassword(const std::string& mobile, const std::string& password);
    bool SetPassword(const std::string& mobile, const std::string& password);
    bool SetBlocked(const std::string& mobile, bool blocked);

    // Sign-in sessions: a ticket for the web and a token for the IM service, both random.
    [[nodiscard]] std::optional<Session> StartSession(const std::string& mobile);
    [[nodiscard]] std::optional<Account> AccountOfTicket(const std::string& ticket);
    [[nodiscard]] bool IsImTokenValid(const std::string& imAccount, const std::string& token);
    // Ends every session of the account and returns their tickets.
    std::vector<std::string> EndSessions(const std::string& mobile);
    [[nodiscard]] std::vector<std::string> LiveTickets(const std::string& mobile);

    // Registration and reset flows: a ticket that stands for a checked number, for a while.
    [[nodiscard]] std::optional<std::string> StartFlow(const std::string& mobile, Purpose purpose,
                                                       std::int64_t lifetimeSeconds);
    // The number a live flow ticket stands for.
    [[nodiscard]] std::optional<std::string> FlowMobile(const std::string& ticket, Purpose purpose);
    void EndFlow(const std::string& ticket);

    // SMS codes, one per number and purpose: a new 6-digit code, unless the last one was issued
    // less than intervalSeconds ago (tooSoon) or the database failed (both: an empty code).
    struct IssuedCode
    {
        std::string code;
        bool tooSoon = false;
    };
    [[nodiscard]] IssuedCode IssueCode(const std::string& mobile, Purpose purpose,
                                       std::int64_t lifetimeSeconds, std::int64_t intervalSeconds);
    [[nodiscard]] CodeCheck CheckCode(const std::string& mobile, Purpose purpose, const std::string& code);
    void UseCode(const std::string& mobile, Purpose purpose);
    // The newest code sent to the number, whatever its purpose.
    [[nodiscard]] std::optional<std::string> LatestCode(const std::string& mobile);

    // Tracking records, as received (the decoded JSON text).
    bool AddTrack(const std::string& action, std::int64_t mobile, const std::string& record);
    [[nodiscard]] std::vector<std::string> Tracks(const std::string& action);

private:
    class Statement;
    [[nodiscard]] std::string PasswordDigest(const std::string& salt, const std::string& password) const;
    [[nodiscard]] std::optional<Account> FindAccountWhere(const char* column, const std::string& value);

    std::mutex m_mutex;
    sqlite3* m_db = nullptr;
};
