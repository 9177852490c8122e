#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link_ports.h"
#include "phone_link_status.h"
#include "socket_error_reporter.h"

namespace mivo::link {

// The modal "Phone Connection" dialog shown while a connect is pending. Run() returns once
// End() has been called (End() before Run() makes Run() return at once). While it runs,
// the event loop delivers socket events and the ticks of timer 12 to the channel.
class ConnectingDialogPort {
 public:
  virtual ~ConnectingDialogPort() = default;
  virtual void Run() = 0;
  // Bar position (0 to 20) and the percentage text after "Status : ".
  virtual void SetProgress(int position, std::string_view percent) = 0;
  virtual void End() = 0;
};

// Socket events as the transport bindings deliver them.
enum SocketEvent : int {
  kEventRead = 0x01,
  kEventWrite = 0x02,
  kEventConnect = 0x10,
  kEventClose = 0x20,
};

struct ChannelPorts {
  StreamTransport& transport;
  TimerPort& timers;
  PausePort& pause;
  UiPort& ui;
  ConnectingDialogPort& connectingDialog;
  FramePort& frame;
  SocketErrorReporter& reporter;
};

// The command channel to the phone (sans-I/O): frames the byte stream into lines, keeps
// the link alive, learns the phone's MAC and versions and moves the link state. Every
// entry point runs on the GUI thread and may open a modal dialog, so events can re-enter.
class CAsyncClientWnd final : public KeepAlivePort {
 public:
  static constexpr int kKeepAliveTimer = 10;
  static constexpr int kConnectingTimer = 12;
  static constexpr std::size_t kReceiveBufferSize = 512;
  static constexpr std::size_t kMaxLine = 255;
  static constexpr int kMissedTicksTolerated = 3;

  CAsyncClientWnd(PhoneLink& link, ChannelPorts ports);
  ~CAsyncClientWnd() override;

  // Returns 1 when connected at once, 0 otherwise: address not IPv4 (silent), socket
  // errors (reported), or a pending connect, after the connecting dialog has been ended by
  // the socket events; the caller then reads the link state.
  int Connect(std::string_view address, std::uint16_t port);

  // Closes the connection and resets the channel; only stops the keep-alive when closed.
  void Disconnect();

  // "prefix command[ argument]\r\n" in one send. 0 when closed (silent), when the line
  // exceeds 255 characters, or on a socket error (reported); else 1.
  int SendCommand(std::string_view prefix, std::string_view command,
                  std::string_view argument = {});

  // Sends settimeout 10 (nonzero flag) or 5, pauses 1200 ms, restarts timer 10.
  void SetKeepAlive(int longPeriod) override;

  // Entry points for the bindings.
  void OnSocketEvent(int event, int error);
  void OnTimer(int id);

  bool IsOpen() const { return m_open; }
  bool IsConnectingDialogOpen() const { return m_dialogOpen; }

 private:
  void OnRead();
  bool ReceiveIntoBuffer();
  void ExtractLines();
  void ProcessLine(const std::string& line);
  void OnKeepAliveTick();
  void OnConnectingTick();
  void EndConnectingDialog(bool success);
  void ResetChannel();

  PhoneLink& m_link;
  ChannelPorts m_ports;

  bool m_open = false;
  bool m_keepAliveRunning = false;
  int m_probeDue = 1;
  bool m_dialogOpen = false;
  int m_connectingTicks = 0;
  int m_missedCountdown = kMissedTicksTolerated;
  int m_receiveBusy = 0;
  std::size_t m_receiveCount = 0;
  std::array<char, kReceiveBufferSize> m_buffer{};

  bool m_readDeferred = false;
  bool m_keepAliveDialogShown = false;
  unsigned m_generation = 0;  // grows with every close, so an outer call sees it
};

}  // namespace mivo::link
