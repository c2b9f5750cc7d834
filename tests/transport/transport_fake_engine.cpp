// The engine process with a stand-in diagnostic engine component, to test
// how the broker hosts components.  The component serves "DIAGENGINE":
//   CLIENTS    answers the number of connected clients
//   LEFT       answers the ids of the clients that left, comma-separated
#include <string>
#include <vector>

#include "engine_component.h"
#include "engine_main.h"
#include "message-protocol.h"

namespace {

using velk::engine::ComponentContext;

class StandInDiagEngine final : public velk::engine::EngineComponent {
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
        std::string answer = command == "CLIENTS"
                                 ? std::to_string(context.ConnectedClients().size())
                             : command == "LEFT" ? left_
                                                 : "UNKNOWN";
        std::vector<char> reply(answer.size() + 512);
        if (VelkClientCreateResponse(sender, id, answer.c_str(), reply.data(),
                                     static_cast<uint32_t>(reply.size())) == 0) {
            context.Route(reply.data());
        }
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
