/* The address watch: Windows Sockets reports each change of the local address
   list as one MSG_ADDRESS_CHANGED, after which the watch is armed again. */
#include "../core/state.h"
#include "locations.h"

#ifndef SIO_ADDRESS_LIST_CHANGE
#define SIO_ADDRESS_LIST_CHANGE 0x28000017
#endif
#ifndef FD_ADDRESS_LIST_CHANGE
#define FD_ADDRESS_LIST_CHANGE 0x200
#endif

int StartAddressWatch(void)
{
    WSADATA wsaData;

    if (WSAStartup(MAKEWORD(2, 2), &wsaData) != 0)
        return 0;
    /* Never bound or connected: it only carries the notification request. */
    sockAddressWatch = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return 1;
}

void ArmAddressWatch(HWND hwnd)
{
    DWORD cbReturned = 0;

    /* The async selection makes the socket non-blocking, so the request
       returns at once (WSAEWOULDBLOCK) and stays pending until a change. */
    WSAAsyncSelect(sockAddressWatch, hwnd, MSG_ADDRESS_CHANGED, FD_ADDRESS_LIST_CHANGE);
    WSAIoctl(sockAddressWatch, SIO_ADDRESS_LIST_CHANGE, NULL, 0, NULL, 0, &cbReturned, NULL, NULL);
}
