#include "ServiceStore.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>

namespace {

std::int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string RandomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(raw.data()), bytes / 4);
    return raw.toHex().toStdString();
}

std::string RandomDigits(int count)
{
    std::string digits;
    for (int i = 0; i < count; ++i) {
        digits += static_cast<char>('0' + QRandomGenerator::system()->bounded(10));
    }
    return digits;
}

const char* PurposeName(ServiceStore::Purpose purpose)
{
    return purpose == ServiceStore::Purpose::Register ? "register" : "reset";
}

constexpr const char* kSchema = R"(
PRAGMA journal_mode=WAL;
CREATE TABLE IF NOT EXISTS accounts(
  mobile TEXT PRIMARY KEY, salt TEXT NOT NULL, password TEXT NOT NULL,
  user_id INTEGER NOT NULL UNIQUE, im_account TEXT NOT NULL UNIQUE,
  blocked INTEGER NOT NULL DEFAULT 0, created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS sessions(
  ticket TEXT PRIMARY KEY, mobile TEXT NOT NULL, im_token TEXT NOT NULL, created INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS sessions_mobile ON sessions(mobile);
CREATE TABLE IF NOT EXISTS flows(
  ticket TEXT PRIMARY KEY, mobile TEXT NOT NULL, purpose TEXT NOT NULL, expires INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS sms_codes(
  mobile TEXT NOT NULL, purpose TEXT NOT NULL, code TEXT NOT NULL, sent INTEGER NOT NULL,
  expires INTEGER NOT NULL, used INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(mobile, purpose));
CREATE TABLE IF NOT EXISTS tracks(
  id INTEGER PRIMARY KEY, action TEXT NOT NULL, mobile INTEGER NOT NULL, record TEXT NOT NULL,
  received INTEGER NOT NULL);
)";

} // namespace

// One prepared statement, finalised when it goes out of scope.
class ServiceStore::Statement
{
public:
    Statement(sqlite3* db, const char* sql)
        : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            Report();
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(const std::string& text)
    {
        sqlite3_bind_text(m_statement, ++m_bound, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(std::int64_t number)
    {
        sqlite3_bind_int64(m_statement, ++m_bound, number);
        return *this;
    }
    // True while there is a row to read.
    bool Step() { return StepIs(SQLITE_ROW); }
    // True when a statement that returns no rows ran.
    bool Run() { return StepIs(SQLITE_DONE); }
    [[nodiscard]] std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(m_statement, column);
        return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
    }
    [[nodiscard]] std::int64_t Int(int column) const { return sqlite3_column_int64(m_statement, column); }

private:
    // A step's result; anything but a row or the end (a constraint refusing a duplicate aside) is
    // a fault of the database, which the console shows rather than passing it off as "not found".
    bool StepIs(int wanted)
    {
        if (m_statement == nullptr) {
            return false;
        }
        const int result = sqlite3_step(m_statement);
        if (result != SQLITE_ROW && result != SQLITE_DONE && result != SQLITE_CONSTRAINT) {
            Report();
        }
        return result == wanted;
    }
    void Report() const { std::fprintf(stderr, "database error: %s\n", sqlite3_errmsg(m_db)); }

    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    int m_bound = 0;
};

ServiceStore::~ServiceStore()
{
    sqlite3_close(m_db);
}

std::optional<std::string> ServiceStore::Open(const std::string& path)
{
    const std::lock_guard lock(m_mutex);
    if (sqlite3_open_v2(path.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string error = m_db != nullptr ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        return error;
    }
    sqlite3_busy_timeout(m_db, 5000);
    char* error = nullptr;
    if (sqlite3_exec(m_db, kSchema, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error != nullptr ? error : "unknown error";
        sqlite3_free(error);
        sqlite3_close(m_db);
        m_db = nullptr;
        return text;
    }
    return std::nullopt;
}

std::string ServiceStore::PasswordDigest(const std::string& salt, const std::string& password) const
{
    return QCryptographicHash::hash(QByteArray::fromStdString(salt + password), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

bool ServiceStore::CreateAccount(const std::string& mobile, const std::string& password)
{
    const std::lock_guard lock(m_mutex);
    std::int64_t userId = 10001;
    {
        Statement next(m_db, "SELECT COALESCE(MAX(user_id), 10000) + 1 FROM accounts");
        if (next.Step()) {
            userId = next.Int(0);
        }
    }
    const std::string salt = RandomHex(8);
    return Statement(m_db, "INSERT INTO accounts(mobile, salt, password, user_id, im_account, created) "
                           "VALUES(?, ?, ?, ?, ?, ?)")
        .Bind(mobile)
        .Bind(salt)
        .Bind(PasswordDigest(salt, password))
        .Bind(userId)
        .Bind("exa" + std::to_string(userId))
        .Bind(Now())
        .Run();
}

std::optional<ServiceStore::Account> ServiceStore::FindAccountWhere(const char* column,
                                                                    const std::string& value)
{
    const std::string sql =
        std::string("SELECT mobile, user_id, im_account, blocked FROM accounts WHERE ") + column + " = ?";
    Statement query(m_db, sql.c_str());
    query.Bind(value);
    if (!query.Step()) {
        return std::nullopt;
    }
    return Account{query.Text(0), query.Int(1), query.Text(2), query.Int(3) != 0};
}

std::optional<ServiceStore::Account> ServiceStore::FindAccount(const std::string& mobile)
{
    const std::lock_guard lock(m_mutex);
    return FindAccountWhere("mobile", mobile);
}

std::optional<ServiceStore::Account> ServiceStore::FindAccountByImAccount(const std::string& imAccount)
{
    const std::lock_guard lock(m_mutex);
    return FindAccountWhere("im_account", imAccount);
}

bool ServiceStore::CheckPassword(const std::string& mobile, const std::string& password)
{
    const std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT salt, password FROM accounts WHERE mobile = ?");
    query.Bind(mobile);
    return query.Step() && PasswordDigest(query.Text(0), password) == query.Text(1);
}

bool ServiceStore::SetPassword(const std::string& mobile, const std::string& password)
{
    const std::lock_guard lock(m_mutex);
    const std::string salt = RandomHex(8);
    return Statement(m_db, "UPDATE accounts SET salt = ?, password = ? WHERE mobile = ?")
               .Bind(salt)
               .Bind(PasswordDigest(salt, password))
               .Bind(mobile)
               .Run() &&
           sqlite3_changes(m_db) == 1;
}

bool ServiceStore::SetBlocked(const std::string& mobile, bool blocked)
{
    const std::lock_guard lock(m_mutex);
    return Statement(m_db, "UPDATE accounts SET blocked = ? WHERE mobile = ?")
               .Bind(std::int64_t{blocked ? 1 : 0})
               .Bind(mobile)
               .Run() &&
           sqlite3_changes(m_db) == 1;
}

std::optional<ServiceStore::Session> ServiceStore::StartSession(const std::string& mobile)
{
    const std::lock_guard lock(m_mutex);
    Session session{"TGT-" + RandomHex(16), mobile, RandomHex(16)};
    if (!Statement(m_db, "INSERT INTO sessions(ticket, mobile, im_token, created) VALUES(?, ?, ?, ?)")
             .Bind(session.ticket)
             .Bind(mobile)
             .Bind(session.imToken)
             .Bind(Now())
             .Run()) {
        return std::nullopt;
    }
    return session;
}

std::optional<ServiceStore::Account> ServiceStore::AccountOfTicket(const std::string& ticket)
{
    const std::lock_guard lock(m_mutex);
    std::string mobile;
    {
        Statement query(m_db, "SELECT mobile FROM sessions WHERE ticket = ?");
        query.Bind(ticket);
        if (!query.Step()) {
            return std::nullopt;
        }
        mobile = query.Text(0);
    }
    return FindAccountWhere("mobile", mobile);
}

bool ServiceStore::IsImTokenValid(const std::string& imAccount, const std::string& token)
{
    const std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT 1 FROM sessions JOIN accounts USING(mobile) "
                          "WHERE accounts.im_account = ? AND sessions.im_token = ?");
    query.Bind(imAccount).Bind(token);
    return query.Step();
}

std::vector<std::string> ServiceStore::LiveTickets(const std::string& mobile)
{
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> tickets;
    Statement query(m_db, "SELECT ticket FROM sessions WHERE mobile = ? ORDER BY created");
    query.Bind(mobile);
    while (query.Step()) {
        tickets.push_back(query.Text(0));
    }
    return tickets;
}

std::vector<std::string> ServiceStore::EndSessions(const std::string& mobile)
{
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> tickets;
    Statement ended(m_db, "DELETE FROM sessions WHERE mobile = ? RETURNING ticket");
    ended.Bind(mobile);
    while (ended.Step()) {
        tickets.push_back(ended.Text(0));
    }
    return tickets;
}

std::optional<std::string> ServiceStore::StartFlow(const std::string& mobile, Purpose purpose,
                                                   std::int64_t lifetimeSeconds)
{
    const std::lock_guard lock(m_mutex);
    Statement(m_db, "DELETE FROM flows WHERE expires < ?").Bind(Now()).Run();
    std::string ticket = "FLOW-" + RandomHex(16);
    if (!Statement(m_db, "INSERT INTO flows(ticket, mobile, purpose, expires) VALUES(?, ?, ?, ?)")
             .Bind(ticket)
             .Bind(mobile)
             .Bind(std::string(PurposeName(purpose)))
             .Bind(Now() + lifetimeSeconds)
             .Run()) {
        return std::nullopt;
    }
    return ticket;
}

std::optional<std::string> ServiceStore::FlowMobile(const std::string& ticket, Purpose purpose)
{
    const std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT mobile FROM flows WHERE ticket = ? AND purpose = ? AND expires >= ?");
    query.Bind(ticket).Bind(std::string(PurposeName(purpose))).Bind(Now());
    if (!query.Step()) {
        return std::nullopt;
    }
    return query.Text(0);
}

void ServiceStore::EndFlow(const std::string& ticket)
{
    const std::lock_guard lock(m_mutex);
    Statement(m_db, "DELETE FROM flows WHERE ticket = ?").Bind(ticket).Run();
}

ServiceStore::IssuedCode ServiceStore::IssueCode(const std::string& mobile, Purpose purpose,
                                                 std::int64_t lifetimeSeconds, std::int64_t intervalSeconds)
{
    const std::lock_guard lock(m_mutex);
    const std::int64_t now = Now();
    {
        Statement last(m_db, "SELECT sent FROM sms_codes WHERE mobile = ? AND purpose = ?");
        last.Bind(mobile).Bind(std::string(PurposeName(purpose)));
        if (last.Step() && now - last.Int(0) < intervalSeconds) {
            return {{}, true};
        }
    }
    std::string code = RandomDigits(6);
    if (!Statement(m_db, "INSERT OR REPLACE INTO sms_codes(mobile, purpose, code, sent, expires, used) "
                         "VALUES(?, ?, ?, ?, ?, 0)")
             .Bind(mobile)
             .Bind(std::string(PurposeName(purpose)))
             .Bind(code)
             .Bind(now)
             .Bind(now + lifetimeSeconds)
             .Run()) {
        return {};
    }
    return {code, false};
}

ServiceStore::CodeCheck ServiceStore::CheckCode(const std::string& mobile, Purpose purpose,
                                                const std::string& code)
{
    const std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT code, expires, used FROM sms_codes WHERE mobile = ? AND purpose = ?");
    query.Bind(mobile).Bind(std::string(PurposeName(purpose)));
    if (!query.Step() || query.Int(2) != 0 || query.Text(0) != code) {
        return CodeCheck::Wrong;
    }
    return query.Int(1) > Now() ? CodeCheck::Ok : CodeCheck::Expired;
}

void ServiceStore::UseCode(const std::string& mobile, Purpose purpose)
{
    const std::lock_guard lock(m_mutex);
    Statement(m_db, "UPDATE sms_codes SET used = 1 WHERE mobile = ? AND purpose = ?")
        .Bind(mobile)
        .Bind(std::string(PurposeName(purpose)))
        .Run();
}

std::optional<std::string> ServiceStore::LatestCode(const std::string& mobile)
{
    const std::lock_guard lock(m_mutex);
    Statement query(m_db,
                    "SELECT code FROM sms_codes WHERE mobile = ? ORDER BY sent DESC, rowid DESC LIMIT 1");
    query.Bind(mobile);
    if (!query.Step()) {
        return std::nullopt;
    }
    return query.Text(0);
}

bool ServiceStore::AddTrack(const std::string& action, std::int64_t mobile, const std::string& record)
{
    const std::lock_guard lock(m_mutex);
    return Statement(m_db, "INSERT INTO tracks(action, mobile, record, received) VALUES(?, ?, ?, ?)")
        .Bind(action)
        .Bind(mobile)
        .Bind(record)
        .Bind(Now())
        .Run();
}

std::vector<std::string> ServiceStore::Tracks(const std::string& action)
{
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> records;
    Statement query(m_db, "SELECT record FROM tracks WHERE action = ? ORDER BY id");
    query.Bind(action);
    while (query.Step()) {
        records.push_back(query.Text(0));
    }
    return records;
}
