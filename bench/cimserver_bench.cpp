// The embedded CIM server over loopback: velk-cimserver started as a person
// starts it, in front of the real velkcore and the test module (two disk
// drives), driven by HTTP clients with kept-alive connections:
//
//   EnumerateDiskNames  EnumerateInstanceNames of VLK_DiskDrive
//   GetResult           GetInstance of the VLK_DiagResult a RunTest made
//
// each from 1 and from 8 client threads at once, each thread with its own
// connection. Counters: requests_per_s (all threads together, requests over
// each thread's own wall time, summed), median_us (each thread's median
// request latency, averaged over the threads). ResidentMemory sends 10,000
// more EnumerateInstanceNames requests and reports the server's VmRSS
// (rss_kib) after them, and before them (rss_kib_before).
//
//   cimserver_bench --benchmark_min_time=2
//
// Starting the engine (the first request) and the RunTest are not counted.
// The server, and with it the engine, is stopped when the program ends.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <httplib.h>

extern char** environ;

namespace {

const char* kHost = "benchhost";

std::string envelope(const std::string& call) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
           "<MESSAGE ID=\"4711\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>" +
           call + "</SIMPLEREQ></MESSAGE></CIM>";
}

const char* kNamespace =
    "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"></NAMESPACE><NAMESPACE NAME=\"korva\">"
    "</NAMESPACE></LOCALNAMESPACEPATH>";

std::string keyBinding(const std::string& name, const std::string& value) {
    return "<KEYBINDING NAME=\"" + name + "\"><KEYVALUE VALUETYPE=\"string\">" + value +
           "</KEYVALUE></KEYBINDING>";
}

std::string systemKeys() {
    return keyBinding("SystemCreationClassName", "CIM_UnitaryComputerSystem") +
           keyBinding("SystemName", kHost);
}

const std::string kEnumerateDiskNames =
    envelope(std::string("<IMETHODCALL NAME=\"EnumerateInstanceNames\">") + kNamespace +
             "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"VLK_DiskDrive\"/></IPARAMVALUE>"
             "</IMETHODCALL>");

std::string runTestRequest() {
    return envelope(
        std::string("<METHODCALL NAME=\"RunTest\"><LOCALINSTANCEPATH>") + kNamespace +
        "<INSTANCENAME CLASSNAME=\"VLK_DiagTest\">" + keyBinding("Name", "VeLkTest:0:Quick test") +
        keyBinding("CreationClassName", "VLK_DiagTest") + systemKeys() +
        "</INSTANCENAME></LOCALINSTANCEPATH><PARAMVALUE NAME=\"SystemElement\"><VALUE.REFERENCE>"
        "<INSTANCEPATH><NAMESPACEPATH><HOST>localhost</HOST>" +
        kNamespace + "</NAMESPACEPATH><INSTANCENAME CLASSNAME=\"VLK_DiskDrive\">" +
        keyBinding("CreationClassName", "VLK_DiskDrive") + keyBinding("DeviceID", "IDE:0:0") +
        systemKeys() +
        "</INSTANCENAME></INSTANCEPATH></VALUE.REFERENCE></PARAMVALUE></METHODCALL>");
}

std::string getInstanceRequest(const std::string& instanceName) {
    return envelope(std::string("<IMETHODCALL NAME=\"GetInstance\">") + kNamespace +
                    "<IPARAMVALUE NAME=\"InstanceName\">" + instanceName +
                    "</IPARAMVALUE></IMETHODCALL>");
}

httplib::Headers cimHeaders(const std::string& method, const std::string& object) {
    return {{"CIMProtocolVersion", "1.0"},
            {"CIMOperation", "MethodCall"},
            {"CIMMethod", method},
            {"CIMObject", object}};
}

// velk-cimserver on a free loopback port with a private bin directory
// (velkcore and the test module) and a private pipe directory.
struct Server {
    std::string home;
    std::string pipes;
    pid_t pid = -1;
    int port = 0;
    std::string resultName;  // INSTANCENAME of the result RunTest made

    bool start() {
        char homePattern[] = "/tmp/velk-cimbench-home-XXXXXX";
        char pipePattern[] = "/tmp/velk-cimbench-pipes-XXXXXX";
        if (mkdtemp(homePattern) == nullptr || mkdtemp(pipePattern) == nullptr) {
            return false;
        }
        home = homePattern;
        pipes = pipePattern;
        std::filesystem::create_symlink(VELK_CORE_PATH, home + "/velkcore");
        for (const auto& entry : std::filesystem::directory_iterator(VELK_TESTMODULE_DIR)) {
            std::filesystem::create_symlink(entry.path(),
                                            home + "/" + entry.path().filename().string());
        }
        std::ofstream(home + "/velklog.props")
            << "log4cpp.rootCategory=ERROR, file\nlog4cpp.appender.file=FileAppender\n"
               "log4cpp.appender.file.fileName="
            << home << "/provider.log\nlog4cpp.appender.file.layout=PatternLayout\n";
        setenv("VELK_TMP", pipes.c_str(), 1);
        std::string output = home + "/server.out";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT, 0600);
        std::vector<std::string> arguments = {VELK_CIMSERVER_PATH, "--port", "0", "--home", home,
                                              "--host-name",       kHost};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int spawned =
            posix_spawn(&pid, VELK_CIMSERVER_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            return false;
        }
        std::smatch match;
        for (int attempt = 0; attempt < 600; attempt++) {
            std::ifstream in(output);
            std::string line;
            if (std::getline(in, line) &&
                std::regex_search(line, match, std::regex("127\\.0\\.0\\.1:(\\d+)/"))) {
                port = std::stoi(match[1].str());
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Starts the engine and makes a result to read.
    bool prepare() {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(120, 0);
        auto first = client.Post("/cimom", cimHeaders("EnumerateInstanceNames", "root%2Fkorva"),
                                 kEnumerateDiskNames, "application/xml; charset=\"utf-8\"");
        if (!first || first->body.find("IDE:0:0") == std::string::npos) {
            fprintf(stderr, "cimserver_bench: the server lists no disk IDE:0:0\n");
            return false;
        }
        auto run = client.Post("/cimom", cimHeaders("RunTest", "root%2Fkorva%3AVLK_DiagTest"),
                               runTestRequest(), "application/xml; charset=\"utf-8\"");
        std::smatch match;
        if (!run || !std::regex_search(run->body, match,
                                       std::regex("<INSTANCENAME CLASSNAME=\"VLK_DiagResult\">"
                                                  "[\\s\\S]*?</INSTANCENAME>"))) {
            fprintf(stderr, "cimserver_bench: RunTest gave no result: %s\n",
                    run ? run->body.c_str() : "no answer");
            return false;
        }
        resultName = match[0].str();
        return true;
    }

    long residentKib() const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) {
                return std::stol(line.substr(6));
            }
        }
        return -1;
    }

    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(home);
        std::filesystem::remove_all(pipes);
    }
};

Server* server = nullptr;

void measure(benchmark::State& state, const std::string& method, const std::string& body,
             const char* answerMark) {
    httplib::Client client("127.0.0.1", server->port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    httplib::Headers headers = cimHeaders(method, "root%2Fkorva");
    std::vector<double> latencies;
    auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        auto sent = std::chrono::steady_clock::now();
        auto answer = client.Post("/cimom", headers, body, "application/xml; charset=\"utf-8\"");
        latencies.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sent)
                .count());
        if (!answer || answer->status != 200 ||
            answer->body.find(answerMark) == std::string::npos) {
            state.SkipWithError("unexpected answer");
            break;
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (latencies.empty()) {
        return;
    }
    std::nth_element(latencies.begin(), latencies.begin() + latencies.size() / 2, latencies.end());
    state.counters["median_us"] =
        benchmark::Counter(latencies[latencies.size() / 2], benchmark::Counter::kAvgThreads);
    state.counters["requests_per_s"] = benchmark::Counter(latencies.size() / seconds);
}

void EnumerateDiskNames(benchmark::State& state) {
    measure(state, "EnumerateInstanceNames", kEnumerateDiskNames, "IDE:0:1");
}
BENCHMARK(EnumerateDiskNames)->Threads(1)->Threads(8)->UseRealTime();

void GetResult(benchmark::State& state) {
    measure(state, "GetInstance", getInstanceRequest(server->resultName),
            "<INSTANCE CLASSNAME=\"VLK_DiagResult\"");
}
BENCHMARK(GetResult)->Threads(1)->Threads(8)->UseRealTime();

void ResidentMemory(benchmark::State& state) {
    for (auto _ : state) {
        long before = server->residentKib();
        httplib::Client client("127.0.0.1", server->port);
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        for (int i = 0; i < 10000; i++) {
            auto answer =
                client.Post("/cimom", cimHeaders("EnumerateInstanceNames", "root%2Fkorva"),
                            kEnumerateDiskNames, "application/xml; charset=\"utf-8\"");
            if (!answer || answer->status != 200) {
                state.SkipWithError("unexpected answer");
                return;
            }
        }
        state.counters["rss_kib_before"] = static_cast<double>(before);
        state.counters["rss_kib"] = static_cast<double>(server->residentKib());
    }
}
BENCHMARK(ResidentMemory)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Server started;
    server = &started;
    int status = 1;
    if (started.start() && started.prepare()) {
        benchmark::RunSpecifiedBenchmarks();
        status = 0;
    } else {
        fprintf(stderr, "cimserver_bench: the server did not start or prepare\n");
    }
    benchmark::Shutdown();
    started.stop();
    return status;
}
