// A desktop session manager of the smallest kind, for the logout tests: it speaks the X session
// protocol (XSMP, over ICE) as a real one does, takes the programs that register, and on a line
// "logout" from its standard input asks each of them to keep its work for a shutdown with leave to
// interact, grants the interaction it is asked for one program at a time, as a session manager must,
// cancels the shutdown for everyone when one
// program cancels, and otherwise tells them all to die once every one has said it is done.
//
// Its first line of output is the value of SESSION_MANAGER for the programs; then one line per
// event: "registered", "interact-request", "interact-done cancel=<0|1>", "save-done success=<0|1>",
// "shutdown-cancelled", "die", "closed".
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Client {
    SmsConn conn = nullptr;
    IceConn ice = nullptr;
    bool saving = false, done = false;
};

std::vector<Client> clients;
// Every accepted connection, also before its program has set up the session protocol on it.
std::vector<IceConn> connections;
// Programs waiting for leave to interact, in the order they asked; the first one has it.
std::vector<SmsConn> interacting;

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Client* find(SmsConn conn)
{
    for (Client& c : clients)
        if (c.conn == conn)
            return &c;
    return nullptr;
}

Status registerClient(SmsConn conn, SmPointer, char* previousId)
{
    std::free(previousId);
    char* id = SmsGenerateClientID(conn);
    SmsRegisterClientReply(conn, id);
    std::free(id);
    say("registered");
    return 1;
}

void interactRequest(SmsConn conn, SmPointer, int)
{
    say("interact-request");
    interacting.push_back(conn);
    if (interacting.size() == 1)
        SmsInteract(conn);
}

void finishIfAllDone()
{
    bool any = false;
    for (const Client& c : clients) {
        if (c.saving && !c.done)
            return;
        any = any || c.saving;
    }
    if (!any)
        return;
    for (Client& c : clients) {
        if (!c.saving)
            continue;
        c.saving = false;
        SmsDie(c.conn);
    }
    say("die");
}

void interactDone(SmsConn conn, SmPointer, Bool cancelShutdown)
{
    say(cancelShutdown ? "interact-done cancel=1" : "interact-done cancel=0");
    std::erase(interacting, conn);
    if (cancelShutdown) {
        // Nobody else is asked anything more: the shutdown is off for everyone, at once.
        interacting.clear();
        for (Client& c : clients)
            if (c.saving) {
                c.saving = false;
                SmsShutdownCancelled(c.conn);
            }
        say("shutdown-cancelled");
        return;
    }
    if (!interacting.empty())
        SmsInteract(interacting.front());
}

void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}

void saveYourselfPhase2Request(SmsConn conn, SmPointer)
{
    SmsSaveYourselfPhase2(conn);
}

void saveYourselfDone(SmsConn conn, SmPointer, Bool success)
{
    say(success ? "save-done success=1" : "save-done success=0");
    if (Client* c = find(conn))
        c->done = true;
    finishIfAllDone();
}

void closeConnection(SmsConn conn, SmPointer, int count, char** reasons)
{
    SmFreeReasons(count, reasons);
    for (auto it = clients.begin(); it != clients.end(); ++it)
        if (it->conn == conn) {
            IceConn ice = it->ice;
            clients.erase(it);
            SmsCleanUp(conn);
            std::erase(interacting, conn);
            std::erase(connections, ice);
            IceSetShutdownNegotiation(ice, False);
            IceCloseConnection(ice);
            break;
        }
    say("closed");
    finishIfAllDone();
}

void setProperties(SmsConn, SmPointer, int count, SmProp** props)
{
    for (int i = 0; i < count; ++i)
        SmFreeProperty(props[i]);
    std::free(props);
}

void deleteProperties(SmsConn, SmPointer, int count, char** names)
{
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}

void getProperties(SmsConn conn, SmPointer)
{
    SmsReturnProperties(conn, 0, nullptr);
}

Status newClient(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**)
{
    Client c;
    c.conn = conn;
    c.ice = SmsGetIceConnection(conn);
    clients.push_back(c);
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
            | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
            | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
            | SmsGetPropertiesProcMask;
    cb->register_client.callback = registerClient;
    cb->interact_request.callback = interactRequest;
    cb->interact_done.callback = interactDone;
    cb->save_yourself_request.callback = saveYourselfRequest;
    cb->save_yourself_phase2_request.callback = saveYourselfPhase2Request;
    cb->save_yourself_done.callback = saveYourselfDone;
    cb->close_connection.callback = closeConnection;
    cb->set_properties.callback = setProperties;
    cb->delete_properties.callback = deleteProperties;
    cb->get_properties.callback = getProperties;
    return 1;
}

// Nobody else can reach a test's private socket: every local connection is let in.
Bool anyHost(char*)
{
    return True;
}

void logout()
{
    for (Client& c : clients) {
        c.saving = true;
        c.done = false;
        SmsSaveYourself(c.conn, SmSaveBoth, True, SmInteractStyleAny, False);
    }
}

} // namespace

int main()
{
    char error[256];
    if (!SmsInitialize("test-session-manager", "1.0", newClient, nullptr, anyHost, sizeof error, error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 2;
    }
    int count = 0;
    IceListenObj* listen = nullptr;
    if (!IceListenForConnections(&count, &listen, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 2;
    }
    for (int i = 0; i < count; ++i)
        IceSetHostBasedAuthProc(listen[i], anyHost);
    char* ids = IceComposeNetworkIdList(count, listen);
    say(ids);
    std::free(ids);

    std::string input;
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        for (int i = 0; i < count; ++i)
            fds.push_back({IceGetListenConnectionNumber(listen[i]), POLLIN, 0});
        const size_t firstConnection = fds.size();
        for (IceConn ice : connections)
            fds.push_back({IceConnectionNumber(ice), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                return 0;
            input.append(buffer, size_t(n));
            for (size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1))
                if (input.compare(0, end, "logout") == 0)
                    logout();
        }
        for (int i = 0; i < count; ++i) {
            if (!(fds[size_t(1 + i)].revents & POLLIN))
                continue;
            IceAcceptStatus status;
            IceConn ice = IceAcceptConnection(listen[i], &status);
            if (!ice)
                continue;
            IceConnectStatus connected;
            while ((connected = IceConnectionStatus(ice)) == IceConnectPending)
                if (IceProcessMessages(ice, nullptr, nullptr) == IceProcessMessagesIOError)
                    break;
            if (connected != IceConnectAccepted)
                IceCloseConnection(ice);
            else
                connections.push_back(ice);
        }
        // Messages may close connections: take the ones that spoke first.
        std::vector<IceConn> ready;
        for (size_t i = firstConnection; i < fds.size(); ++i)
            if (fds[i].revents & (POLLIN | POLLHUP))
                ready.push_back(connections[i - firstConnection]);
        for (IceConn ice : ready) {
            if (std::find(connections.begin(), connections.end(), ice) == connections.end())
                continue;
            if (IceProcessMessages(ice, nullptr, nullptr) != IceProcessMessagesIOError)
                continue;
            std::erase(connections, ice);
            for (auto it = clients.begin(); it != clients.end(); ++it)
                if (it->ice == ice) {
                    std::erase(interacting, it->conn);
                    SmsCleanUp(it->conn);
                    clients.erase(it);
                    say("closed");
                    break;
                }
            IceSetShutdownNegotiation(ice, False);
            IceCloseConnection(ice);
            finishIfAllDone();
        }
    }
}
