#include "miniport.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "driver.h"
#include "trace.h"

namespace valmor {
namespace {

using namespace host;

constexpr uint8_t kDefaultAddress[6] = {0x00, 0x04, 0xAC, 0x6C, 0x32, 0x70};

NtStatus VNETReset(bool* addressing_reset, NdisHandle /*context*/) {
  if (addressing_reset != nullptr) *addressing_reset = false;
  return NDIS_STATUS_NOT_RESETTABLE;
}

void ReadRegistry(Adapter* adapter, NdisPort* port) {
  uint32_t level = 0;
  g_DebugMask = port->ReadConfigurationInteger("DbgLevel", &level) == NDIS_STATUS_SUCCESS
                    ? static_cast<uint8_t>(level & 0xFF)
                    : kDefaultDebugMask;

  std::vector<uint8_t> address;
  const NtStatus status = port->ReadNetworkAddress(&address);
  if (status == NDIS_STATUS_SUCCESS && address.size() == 6) {
    adapter->AddressOverride = 1;
    std::memcpy(adapter->CurrentAddress, address.data(), 6);
    const uint8_t* a = adapter->CurrentAddress;
    VnetTrace(kTraceProgress, "Current MAC Address = %02X %02X %02X %02X %02X %02X\n", a[0], a[1],
              a[2], a[3], a[4], a[5]);
  } else {
    adapter->AddressOverride = 0;
    std::memset(adapter->CurrentAddress, 0, 6);
    VnetTrace(kTraceError, "No-Override for Network Address(l=%d, s=0x%X)...\n",
              static_cast<int>(address.size()), status);
  }

  std::u16string description;
  adapter->DescriptionLength = 0;
  if (port->ReadConfigurationString("DriverDesc", &description) == NDIS_STATUS_SUCCESS) {
    uint32_t n = 0;
    for (char16_t c : description) {
      const auto low = static_cast<char>(c & 0xFF);
      if (low == 0 || n == kDescriptionMax) break;
      adapter->Description[n++] = low;
    }
    adapter->DescriptionLength = static_cast<uint8_t>(n);
  }
  adapter->Description[adapter->DescriptionLength] = '\0';
}

bool StartThreads(Adapter* adapter) {
  struct Entry {
    Worker* worker;
    void (*body)(Adapter*);
  };
  const Entry entries[] = {
      {&adapter->Control, ControlThread}, {&adapter->Rx, RXThread}, {&adapter->Tx, TXThread}};
  for (const Entry& e : entries) {
    // The running marker and the thread's reference are in place before it
    // runs, so halt can never see an idle adapter while a thread is starting.
    e.worker->running = true;
    AddRef(adapter);
    if (e.worker->thread.Create([adapter, body = e.body] { body(adapter); }) != STATUS_SUCCESS) {
      e.worker->running = false;
      Release(adapter);
      return false;
    }
  }
  return true;
}

// Stops the threads and waits for every reference. Used by halt and, without
// halt's own traces of each step, by a start that fails once the threads exist.
void StopThreads(Adapter* adapter, bool halt_traces) {
  const auto step = [halt_traces](const char* text) {
    if (halt_traces) VnetTrace(kTraceProgress, "%s", text);
  };
  VnetTrace(kTraceProgress, "Terminate Threads\n");
  InterlockedExchange(adapter->TerminateThreads, 1u);
  step("Trigger Control Thread\n");
  WakeControlThread(adapter);
  step("Trigger RX Thread\n");
  WakeRxThread(adapter);
  step("Trigger TX Thread\n");
  WakeTxThread(adapter);
  if (halt_traces) {
    VnetTrace(kTraceProgress, "Wait For %d Pending IRPs\n", adapter->PendingRefs.load());
  }
  adapter->NoPendingEvent.Wait();
  step("No More Pending IRPs\n");
  adapter->RxIrpIdle.Wait();
  adapter->Control.thread.Join();
  adapter->Rx.thread.Join();
  adapter->Tx.thread.Join();
}

void FreeAdapter(Adapter* adapter) {
  FreeUsbResources(adapter);
  delete adapter;
}

NtStatus FailStart(Adapter* adapter, bool threads_exist, const char* trace, NtStatus status) {
  VnetTrace(kTraceError, "%s", trace);
  if (threads_exist) {
    InterlockedExchange(adapter->Halting, 1u);
    Release(adapter);  // the initial reference
    StopThreads(adapter, false);
  }
  FreeAdapter(adapter);
  return status;
}

void SetAddresses(Adapter* adapter) {
  std::memcpy(adapter->PermanentAddress, adapter->AddressReadBuffer, 6);
  const uint8_t* p = adapter->PermanentAddress;
  const bool group = (p[0] & 0x01) != 0;
  const bool zero = std::all_of(p, p + 6, [](uint8_t b) { return b == 0; });
  if (group || zero) std::memcpy(adapter->PermanentAddress, kDefaultAddress, 6);
  if (adapter->AddressOverride != 0) {
    VnetTrace(kTraceProgress, "****** Override Network Address ******\n");
    VnetTrace(kTraceProgress, "Permannent Address-> ");
    for (uint8_t b : adapter->PermanentAddress) VnetTrace(kTraceProgress, "%02X ", b);
    VnetTrace(kTraceProgress, "New Address-> ");
    for (uint8_t b : adapter->CurrentAddress) VnetTrace(kTraceProgress, "%02X ", b);
  } else {
    std::memcpy(adapter->CurrentAddress, adapter->PermanentAddress, 6);
  }
}

// Steps 3 to 5 of the start: medium, next-lower device, OS level. Returns
// null when the host fits, else the failure's trace with `*status` set.
const char* ProbeHost(Adapter* adapter, NdisPort* port, uint32_t* selected_medium_index,
                      const NdisMedium* medium_array, uint32_t medium_array_size,
                      NtStatus* status) {
  *status = NDIS_STATUS_FAILURE;
  const NdisMedium* end = medium_array + medium_array_size;
  const NdisMedium* medium = std::find(medium_array, end, NdisMedium::k802_3);
  if (medium == end) {
    *status = NDIS_STATUS_UNSUPPORTED_MEDIA;
    return "FAILED TO START DEVICE (Ethernet Medium Type is not supported)\n";
  }
  *selected_medium_index = static_cast<uint32_t>(medium - medium_array);

  const DeviceProperties devices = port->QueryDeviceProperties();
  adapter->PhysicalDeviceObject = devices.physical;
  adapter->FunctionalDeviceObject = devices.functional;
  adapter->NextDeviceObject = devices.next_lower;
  if (adapter->NextDeviceObject == nullptr) return "FAILED TO START DEVICE (Unable to get PDO)\n";

  if (port->IsWdmVersionAvailable(1, 0x10)) {
    adapter->OsLevel = 0;
  } else if (port->IsWdmVersionAvailable(1, 0x05)) {
    adapter->OsLevel = 1;
  } else if (port->IsWdmVersionAvailable(1, 0x00)) {
    adapter->OsLevel = 2;
  } else {
    return "FAILED TO START DEVICE (Unable to detect OS version)\n";
  }
  *status = NDIS_STATUS_SUCCESS;
  return nullptr;
}

// Steps 8 to 12, with the threads running: USB configuration, mode,
// addresses, start. Returns null on success, else the failure's trace.
const char* BringUpDevice(Adapter* adapter) {
  if (ConfigureUsb(adapter) != STATUS_SUCCESS) return "FAILED TO START DEVICE\n";
  bool dfu_mode = false;
  if (!CheckDeviceMode(adapter, &dfu_mode)) return "FAILED TO START DEVICE\n";
  if (dfu_mode) {
    // Stuck in DFU mode: no address read, no bulk-in, but the start succeeds.
    SetState(adapter, VNET_STATE_FW_UPDATE);
    SetState(adapter, VNET_STATE_RUNNING);
    return nullptr;
  }
  SetState(adapter, VNET_STATE_STARTING);
  VnetTrace(kTraceProgress, "Getting Device MAC ADDRESS\n");
  if (GetMacAddress(adapter) != STATUS_SUCCESS) return "FAILED TO GET PERMANENT MAC ADDRESS\n";
  SetAddresses(adapter);
  StartDevice(adapter);
  SetState(adapter, VNET_STATE_RUNNING);
  return nullptr;
}

NtStatus VNETInitialize(uint32_t* selected_medium_index, const NdisMedium* medium_array,
                        uint32_t medium_array_size, NdisHandle miniport_adapter_handle) {
  VnetTrace(kTraceProgress, "Inside VNETInitialize!");
  auto* adapter = new (std::nothrow) Adapter();
  if (adapter == nullptr) {
    VnetTrace(kTraceError, "FAILED TO START DEVICE\n");
    return NDIS_STATUS_RESOURCES;
  }
  adapter->AdapterState = VNET_STATE_STARTING;
  auto* port = static_cast<NdisPort*>(miniport_adapter_handle);
  adapter->MiniportAdapterHandle = port;

  if (port->OpenConfiguration() != NDIS_STATUS_SUCCESS) {
    return FailStart(adapter, false, "FAILED TO START DEVICE (Unable to open registry)\n",
                     NDIS_STATUS_FAILURE);
  }
  ReadRegistry(adapter, port);
  port->CloseConfiguration();

  NtStatus status = NDIS_STATUS_SUCCESS;
  if (const char* failure = ProbeHost(adapter, port, selected_medium_index, medium_array,
                                      medium_array_size, &status)) {
    return FailStart(adapter, false, failure, status);
  }

  adapter->DevicePowerState = kPowerD0;
  adapter->CurrentLookahead = kInitialLookahead;
  adapter->PendingRefs = 1;
  if (!StartThreads(adapter)) {
    return FailStart(adapter, true, "FAILED TO START DEVICE\n", NDIS_STATUS_FAILURE);
  }
  port->SetAttributes(adapter, NDIS_ATTRIBUTE_DESERIALIZE, NdisInterfaceType::kInternal);
  if (const char* failure = BringUpDevice(adapter)) {
    return FailStart(adapter, true, failure, NDIS_STATUS_FAILURE);
  }
  return NDIS_STATUS_SUCCESS;
}

void VNETHalt(NdisHandle context) {
  auto* adapter = static_cast<Adapter*>(context);
  VnetTrace(kTraceProgress, " - - - -      VNET Halt       - - - - \n");
  InterlockedExchange(adapter->Halting, 1u);
  Release(adapter);  // the initial reference

  if (!adapter->RxIrpIdle.IsSet() && adapter->Usb.rx_irp) {
    VnetTrace(kTraceProgress, "Stopping RX IRP\n");
    adapter->NextDeviceObject->CancelIrp(adapter->Usb.rx_irp.get());
  }
  if (adapter->TxIrpPending != 0 && adapter->Usb.tx_irp) {
    VnetTrace(kTraceProgress, "Stopping TX IRP\n");
    adapter->NextDeviceObject->CancelIrp(adapter->Usb.tx_irp.get());
  }
  VnetTrace(kTraceProgress, "Dropping Pending Tx Packets...\n");
  RejectQueue(adapter);

  StopThreads(adapter, true);
  if (FirmwareImageHeld()) {
    VnetTrace(kTraceProgress, "Releasing loaded FW\n");
    ReleaseFirmwareImage();
  }
  FreeAdapter(adapter);
}

}  // namespace

void AddRef(Adapter* adapter) { InterlockedIncrement(adapter->PendingRefs); }

void Release(Adapter* adapter) {
  const int32_t left = InterlockedDecrement(adapter->PendingRefs);
  assert(left >= 0 && "a reference was released more often than it was added");
  if (left > 0) return;
  if (adapter->Control.running || adapter->Rx.running || adapter->Tx.running) return;
  adapter->NoPendingEvent.Set();
}

void SetState(Adapter* adapter, uint8_t state) {
  // The state is stored before the indication, so that a protocol asking for
  // the media status from its status handler gets the new answer.
  const uint8_t old = adapter->AdapterState.exchange(state);
  NdisPort* port = adapter->MiniportAdapterHandle;
  if (old == VNET_STATE_RUNNING && state != VNET_STATE_RUNNING) {
    port->IndicateStatus(NDIS_STATUS_MEDIA_DISCONNECT, nullptr, 0);
    port->IndicateStatusComplete();
  } else if (old != VNET_STATE_RUNNING && state == VNET_STATE_RUNNING) {
    port->IndicateStatus(NDIS_STATUS_MEDIA_CONNECT, nullptr, 0);
    port->IndicateStatusComplete();
  }
  if (adapter->AdapterState == VNET_STATE_RUNNING) WakeTxThread(adapter);
}

void StartDevice(Adapter* adapter) {
  VnetTrace(kTraceProgress, "Start Device...\n");
  const uint8_t state = adapter->AdapterState;
  if (state == VNET_STATE_STARTING || state == VNET_STATE_FW_UPDATE) {
    VnetTrace(kTraceProgress, "Starting Bulk-In.\n");
    StartBulkIn(adapter);
  }
  WakeControlThread(adapter);
}

void WakeControlThread(Adapter* adapter) { adapter->Control.event.Set(); }
void WakeRxThread(Adapter* adapter) { adapter->Rx.event.Set(); }
void WakeTxThread(Adapter* adapter) { adapter->Tx.event.Set(); }

NtStatus DriverEntry(NdisWrapper& wrapper) {
  MiniportCharacteristics chars;
  chars.major_version = 5;
  chars.minor_version = 0;
  chars.halt = VNETHalt;
  chars.initialize = VNETInitialize;
  chars.query_information = VNETQueryInformation;
  chars.set_information = VNETSetInformation;
  chars.reset = VNETReset;
  chars.send_packets = VNETSendPackets;
  chars.transfer_data = VNETTransferData;
  return wrapper.RegisterMiniport(chars);
}

}  // namespace valmor
