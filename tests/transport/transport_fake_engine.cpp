// The engine process with a stand-in diagnostic engine component, to test
// how the broker hosts components.  The component serves "DIAGENGINE":
//   ENUMERATE  reports enumeration complete, sends the requester the
//              DE_ENUM_NOTIFY notice, then answers "DONE"
//   CLIENTS    answers the number of connected clients
//   LEFT       answers the ids of the clients that left, comma-separated
#include <string>
#include <vector>

#include "engine_component.h"
#include "engine_main.h"
#include "message-protocol.h"

namespace {

using velk::engine::ComponentContext;
using velk::engine::EngineComponent;

std::string Envelope(std::uint32_t to, const char* re, const char* type, const std::string& data) {
    std::string toText = std::to_string(to);
    char header[400];
    if (VelkCreateMessageHeader(header, sizeof header, toText.c_str(), re, type, nullptr) != 0) {
        return {};
    }
    std::vector<char> message(data.size() + sizeof header + 64);
    std::string payload = "<DATA>" + data + "</DATA>";
    VelkCreateMessage(message.data(), static_cast<uint32_t>(message.size()), "MSG", header,
                      payload.c_str(), static_cast<const char*>(nullptr));
    return message.data();
}

class StandInDiagEngine final : public EngineComponent {
  public:
    std::string_view Destination() const override { return VELK_MSG_TO_DIAGENGINE; }

    void HandleMessage(const std::string& message, ComponentContext& context) override {
        uint32_t sender = 0;
        uint32_t id = 0;
        std::vector<char> data(message.size() + 1);
        if (VelkParsePacketHeaderAndData(message.c_str(), &sender, &id, nullptr, data.data(),
                                         static_cast<uint32_t>(data.size())) < 0) {
            return;
        }
        std::string command = data.data();
        std::string answer;
        if (command == "ENUMERATE") {
            context.ReportEnumerationComplete();
            context.SendToClient(
                sender, Envelope(sender, nullptr, VELK_MSG_TYPE_DE_ENUM_NOTIFY, "ENUM_COMPLETE"));
            answer = "DONE";
        } else if (command == "CLIENTS") {
            answer = std::to_string(context.ConnectedClients().size());
        } else if (command == "LEFT") {
            answer = left_;
        } else {
            answer = "UNKNOWN";
        }
        std::string re = std::to_string(id);
        context.Route(Envelope(sender, re.c_str(), VELK_MSG_TYPE_TRANSACTION_RESPONSE, answer));
    }

    void ClientLeft(std::uint32_t pid, ComponentContext&) override {
        left_ += (left_.empty() ? "" : ",") + std::to_string(pid);
    }

  private:
    std::string left_;
};

}  // namespace

int main(int argc, char** argv) {
    return velk::engine::RunEngine(argc, argv, [](velk::engine::MessageBroker& broker) {
        broker.AddComponent(std::make_unique<StandInDiagEngine>());
    });
}
