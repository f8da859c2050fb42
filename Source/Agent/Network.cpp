#include "Agent/Network.h"

#include "Agent/Channel.h"
#include "Agent/Device.h"
#include "Agent/Stream.h"
#include "Common/IntrusivePtr.h"
#include "Common/Net/Socket.h"
#include "Common/Time.h"
#include "Protocol/Header.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <sys/prctl.h>
#include <vector>

namespace Talmex {
namespace Agent {

namespace {

using Protocol::kAgentPorts;
// Room for a burst of datagrams from many senders between two receive phases,
// so that a flood does not crowd out the served client's requests.
constexpr int kSocketReceiveBufferBytes = 4 << 20;
// Every UDP payload IPv4 can carry fits whole.
constexpr size_t kReceiveBufferSize = 65515;
// As an idle time: active this cycle, or, after a failed send, expired.
constexpr uint32_t kIdleMark = 0xFFFFFFFF;
constexpr unsigned int kServingSleepMilliseconds = 2;
constexpr unsigned int kIdleSleepMilliseconds = 10;
constexpr unsigned int kRetrySleepMilliseconds = 100;

// One run of the channel thread: the socket, the receive buffer, the stream
// and the table of channels, all owned by that thread alone.
class ChannelService {
public:
    ChannelService() : _receiveBuffer(kReceiveBufferSize) {}

    ChannelService(const ChannelService&) = delete;
    ChannelService& operator=(const ChannelService&) = delete;

    // Creates and binds the socket as far as it can; true once it is bound.
    bool PrepareSocket()
    {
        if (_socket == Net::kInvalidSocket) {
            _socket = Net::CreateUdpSocket();
            if (_socket == Net::kInvalidSocket) {
                return false;
            }
            Net::EnlargeReceiveBuffer(_socket, kSocketReceiveBufferBytes);
        }
        for (uint16_t port : kAgentPorts) {
            if (!_isBound) {
                _isBound = Net::BindAnyAddress(_socket, port);
            }
        }
        return _isBound;
    }

    // Handles every datagram that is waiting.
    void Receive()
    {
        sockaddr_in sender;
        for (;;) {
            const ssize_t size =
                Net::ReceiveFrom(_socket, _receiveBuffer.data(), _receiveBuffer.size(), sender);
            if (size < 0) {
                return;
            }
            if (!Protocol::HasMagic(_receiveBuffer.data(), static_cast<size_t>(size)) ||
                _IsFromAgentPort(sender)) {
                continue;
            }
            Channel* channel = _Find(sender);
            if (channel == nullptr) {
                channel = _Admit(sender);
            }
            if (channel == nullptr) {
                continue;
            }
            _stream.Clear();
            _stream.Write(_receiveBuffer.data(), static_cast<unsigned long>(size));
            if (_device.ReadFrom(_stream, *channel)) {
                channel->_idleTime = kIdleMark;
            }
        }
    }

    bool HasChannels() const { return !_channels.empty(); }

    void Age(uint32_t elapsed)
    {
        for (IntrusivePtr<Channel>& channel : _channels) {
            channel->_idleTime = channel->_idleTime == kIdleMark ? 0 : channel->_idleTime + elapsed;
        }
    }

    void SendReports()
    {
        for (IntrusivePtr<Channel>& channel : _channels) {
            _stream.Clear();
            _device.WriteTo(_stream, *channel);
            if (Net::SendTo(_socket, _stream.Data(), _stream.Size(), channel->_address) < 0 &&
                errno != EAGAIN) {
                channel->_idleTime = kIdleMark;
            }
        }
    }

    void Expire()
    {
        for (size_t i = 0; i < _channels.size();) {
            if (_channels[i]->_idleTime >= Protocol::kChannelExpiryMilliseconds) {
                _Release(*_channels[i]);
                _channels.erase(_channels.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
        if (_channels.empty()) {
            Net::AcceptFromAnyone(_socket);
        }
    }

    void ShutDown()
    {
        for (IntrusivePtr<Channel>& channel : _channels) {
            _Release(*channel);
        }
        while (!_channels.empty()) {
            _channels.pop_back();
        }
        if (_socket != Net::kInvalidSocket) {
            Net::Close(_socket);
            _socket = Net::kInvalidSocket;
        }
    }

private:
    // Datagrams from an agent port are an agent's reports, or forgeries of
    // them: admitted, they would answer each other forever and hold the
    // headset. No client sends from these ports.
    static bool _IsFromAgentPort(const sockaddr_in& sender)
    {
        const uint16_t port = ntohs(sender.sin_port);
        return std::find(std::begin(kAgentPorts), std::end(kAgentPorts), port) !=
               std::end(kAgentPorts);
    }

    Channel* _Find(const sockaddr_in& sender)
    {
        for (IntrusivePtr<Channel>& channel : _channels) {
            if (std::memcmp(&channel->_address, &sender, sizeof sender) == 0) {
                return channel.Get();
            }
        }
        return nullptr;
    }

    // One client at a time: a newcomer is admitted only while nobody is
    // served, and its channel takes the headset.
    Channel* _Admit(const sockaddr_in& sender)
    {
        if (!_channels.empty() || !_device.LockDevice()) {
            return nullptr;
        }
        IntrusivePtr<Channel> channel(new Channel());
        channel->_ownsDevice = true;
        channel->_address = sender;
        channel->CreateSToken();
        _channels.push_back(channel);
        // Everyone else is ignored until the channel ends; the kernel can do
        // that before a flood reaches the receive phase.
        Net::AcceptOnlyFrom(_socket, sender);
        return channel.Get();
    }

    void _Release(Channel& channel)
    {
        if (channel._ownsDevice) {
            _device.UnlockDevice();
        }
    }

    Device& _device = Singleton<Device>::_instance;
    int _socket = Net::kInvalidSocket;
    bool _isBound = false;
    std::vector<unsigned char> _receiveBuffer;
    Stream _stream;
    std::vector<IntrusivePtr<Channel>> _channels;
};

} // namespace

Network::Network() : _thread(&Network::_ChannelThread), _stopRequested(false) {}

void Network::Initialize()
{
    _thread.Invoke();
}

void Network::Finalize()
{
    _mutex.Lock();
    _stopRequested = true;
    _mutex.Unlock();

    _thread.Join();

    _mutex.Lock();
    _stopRequested = false;
    _mutex.Unlock();
}

bool Network::_IsStopRequested()
{
    _mutex.Lock();
    const bool stopRequested = _stopRequested;
    _mutex.Unlock();
    return stopRequested;
}

void Network::_ChannelThread()
{
    // The least timer slack the kernel grants (1 ns instead of 50 us), so
    // that each cycle's 2 ms sleep overshoots no more than the machine must.
    prctl(PR_SET_TIMERSLACK, 1UL);
    Network& network = Singleton<Network>::_instance;
    ChannelService service;
    // Channels age on the monotonic clock, so that a step of the wall clock
    // neither ends nor prolongs a session.
    uint32_t now = GetMonotonicMilliseconds();
    for (;;) {
        uint32_t previous = now;
        // The stop request is seen before every retry, so Finalize never
        // waits longer than one retry.
        for (;;) {
            if (network._IsStopRequested()) {
                service.ShutDown();
                return;
            }
            if (service.PrepareSocket()) {
                break;
            }
            Threading::Sleep(kRetrySleepMilliseconds);
            previous = GetMonotonicMilliseconds();
        }

        now = GetMonotonicMilliseconds();
        service.Receive();
        if (!service.HasChannels()) {
            Threading::Sleep(kIdleSleepMilliseconds);
            continue;
        }
        service.Age(now - previous);
        service.SendReports();
        service.Expire();
        Threading::Sleep(kServingSleepMilliseconds);
    }
}

} // namespace Agent
} // namespace Talmex
