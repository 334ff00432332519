/* The threads, events, semaphores and locks the LZMA SDK's two-thread match finder (LzFindMt.c)
   asks for, under the names and with the meaning of the SDK's own Threads.h, whose only
   implementation is Win32's. Each object is a pointer to a C++ object (threads.cpp), so that
   the same code runs in the native packer and in zvpack.exe. Calls return 0 on success. */
#ifndef ZV_LZMA_THREADS_H
#define ZV_LZMA_THREADS_H

#include "Types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZvSdkThread *CThread;
typedef struct ZvSdkEvent *CEvent;
typedef CEvent CAutoResetEvent;
typedef CEvent CManualResetEvent;
typedef struct ZvSdkSemaphore *CSemaphore;
typedef struct ZvSdkLock *CCriticalSection;

typedef unsigned THREAD_FUNC_RET_TYPE;
#define THREAD_FUNC_CALL_TYPE MY_STD_CALL
#define THREAD_FUNC_DECL THREAD_FUNC_RET_TYPE THREAD_FUNC_CALL_TYPE
typedef THREAD_FUNC_RET_TYPE (THREAD_FUNC_CALL_TYPE *THREAD_FUNC_TYPE)(void *);

#define Thread_Construct(p) (*(p) = NULL)
#define Thread_WasCreated(p) (*(p) != NULL)
WRes Thread_Create(CThread *p, THREAD_FUNC_TYPE func, void *param);
WRes Thread_Wait(CThread *p);
WRes Thread_Close(CThread *p);

#define Event_Construct(p) (*(p) = NULL)
#define Event_IsCreated(p) (*(p) != NULL)
WRes ManualResetEvent_Create(CManualResetEvent *p, int signaled);
WRes ManualResetEvent_CreateNotSignaled(CManualResetEvent *p);
WRes AutoResetEvent_Create(CAutoResetEvent *p, int signaled);
WRes AutoResetEvent_CreateNotSignaled(CAutoResetEvent *p);
WRes Event_Set(CEvent *p);
WRes Event_Reset(CEvent *p);
WRes Event_Wait(CEvent *p);
WRes Event_Close(CEvent *p);

#define Semaphore_Construct(p) (*(p) = NULL)
WRes Semaphore_Create(CSemaphore *p, UInt32 initCount, UInt32 maxCount);
WRes Semaphore_ReleaseN(CSemaphore *p, UInt32 num);
WRes Semaphore_Release1(CSemaphore *p);
WRes Semaphore_Wait(CSemaphore *p);
WRes Semaphore_Close(CSemaphore *p);

WRes CriticalSection_Init(CCriticalSection *p);
void CriticalSection_Delete(CCriticalSection *p);
void CriticalSection_Enter(CCriticalSection *p);
void CriticalSection_Leave(CCriticalSection *p);

#ifdef __cplusplus
}
#endif

#endif
