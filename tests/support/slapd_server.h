/* A throw-away slapd for the directory tests and benchmark: its own config
 * file and mdb database in a temporary folder, loaded from an LDIF file,
 * listening on 127.0.0.1 only, on a port that was free. It dies with the
 * process that started it, and the folder goes when the object does. */
#ifndef TESTS_SUPPORT_SLAPD_SERVER_H
#define TESTS_SUPPORT_SLAPD_SERVER_H

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

class SlapdServer {
public:
    static constexpr const char* kSlapd = "/usr/sbin/slapd";
    static constexpr const char* kSlapadd = "/usr/sbin/slapadd";
    static constexpr const char* kSuffix = "dc=example,dc=com";
    static constexpr const char* kRootDn = "cn=admin,dc=example,dc=com";
    static constexpr const char* kRootPassword = "secret";

    SlapdServer() = default;
    ~SlapdServer()
    {
        stop();
        std::error_code ignored;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ignored);
    }
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;

    /* Writes the configuration (schemas of `schemaFile` added to core,
     * cosine and inetOrgPerson) and loads `ldif` into a new database. False,
     * with *why, when slapd is not installed or the load fails. */
    bool prepare(const std::string& schemaFile, const std::string& ldif, std::string* why)
    {
        char pattern[] = "/tmp/calparser-slapd-XXXXXX";
        if (access(kSlapd, X_OK) != 0 || access(kSlapadd, X_OK) != 0 || !mkdtemp(pattern)) {
            *why = "slapd or slapadd is missing (make deps installs the Debian package slapd)";
            return false;
        }
        dir_ = pattern;
        std::filesystem::create_directory(dir_ + "/db");
        std::ofstream conf(config());
        for (const char* schema : {"core", "cosine", "inetorgperson"})
            conf << "include /etc/ldap/schema/" << schema << ".schema\n";
        conf << "include " << schemaFile << "\npidfile " << dir_ << "/slapd.pid\n"
             << "argsfile " << dir_ << "/slapd.args\n"
             << "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
             << "database mdb\nmaxsize 16777216\nsuffix \"" << kSuffix << "\"\n"
             << "rootdn \"" << kRootDn << "\"\nrootpw " << kRootPassword << "\n"
             << "directory " << dir_ << "/db\nindex objectClass,mail,uid eq\n";
        conf.close();
        std::string command = std::string(kSlapadd) + " -q -f '" + config() + "' -l '" + ldif +
                              "' >'" + dir_ + "/slapadd.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            *why = "slapadd failed: " + read_file(dir_ + "/slapadd.log");
            return false;
        }
        return true;
    }

    /* Starts slapd (on the port of the first start when started again) and
     * waits until it accepts connections. False, with *why, when it does not. */
    bool start(std::string* why)
    {
        for (int attempt = 0; attempt < 3 && pid_ <= 0; ++attempt) {
            if (port_ == 0 || attempt > 0)
                port_ = free_port();
            if (launch() && wait_ready())
                return true;
            stop();
        }
        *why = "slapd did not start: " + read_file(dir_ + "/slapd.log");
        return false;
    }

    /* Stops slapd and waits for it to end. */
    void stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    /* Freezes and thaws slapd: connections are accepted, nothing answered.
     * The freeze waits until slapd has stopped: a SIGSTOP only takes hold
     * when slapd is next scheduled, and it could answer one more search before. */
    void pause()
    {
        kill(pid_, SIGSTOP);
        while (waitpid(pid_, nullptr, WUNTRACED) == -1 && errno == EINTR) {
        }
    }
    void resume() { kill(pid_, SIGCONT); }

    std::string uri() const { return "ldap://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    std::string config() const { return dir_ + "/slapd.conf"; }

    static std::string read_file(const std::string& path)
    {
        std::stringstream all;
        all << std::ifstream(path).rdbuf();
        return all.str();
    }

    static sockaddr_in loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

    static int free_port()
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        int port = bind(fd, generic, size) == 0 && getsockname(fd, generic, &size) == 0
                       ? ntohs(address.sin_port)
                       : 0;
        close(fd);
        return port;
    }

    bool accepts_connections() const
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(port_);
        bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        return connected;
    }

    /* Forks slapd in the foreground (-d 0), its output in slapd.log. */
    bool launch()
    {
        std::string url = uri(), conf = config(), log = dir_ + "/slapd.log";
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            execl(kSlapd, kSlapd, "-d", "0", "-f", conf.c_str(), "-h", url.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid_ > 0;
    }

    bool wait_ready()
    {
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < giveUp) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;  /* it ended: the port was taken, or the config is wrong */
                return false;
            }
            if (accepts_connections())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

#endif
