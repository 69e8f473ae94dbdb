#pragma once

// The host's stand-in for the slice of COM and DirectShow that the capture graph uses: the same
// names and signatures as the Windows SDK declares them, so one capture source compiles on both
// builds. Everything behind these declarations is the host capture runtime (platform/host/dshow/).

#include <cstddef>
#include <cstdint>

// ---- Basic types ---------------------------------------------------------------------------

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using WORD = std::uint16_t;
using BOOL = int;
using BYTE = std::uint8_t;
using LONGLONG = std::int64_t;
using REFERENCE_TIME = LONGLONG;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using PDWORD_PTR = DWORD_PTR*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using OAHWND = LONG_PTR;
using OAFilterState = LONG;
using HWND = void*;
using LPVOID = void*;
using WCHAR = wchar_t;
using OLECHAR = wchar_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPCWCH = const WCHAR*;
using LPSTR = char*;
using LPCCH = const char*;
using LPBOOL = BOOL*;
using BSTR = OLECHAR*;
using VARTYPE = std::uint16_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

#define STDMETHODCALLTYPE
#define WINAPI

// ---- Status values -------------------------------------------------------------------------

constexpr HRESULT MakeHostStatus(std::uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHostStatus(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHostStatus(0x80004002);
constexpr HRESULT E_POINTER = MakeHostStatus(0x80004003);
constexpr HRESULT E_FAIL = MakeHostStatus(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHostStatus(0x8000FFFF);
constexpr HRESULT E_INVALIDARG = MakeHostStatus(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = MakeHostStatus(0x8007000E);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHostStatus(0x800401F0);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHostStatus(0x80040154);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHostStatus(0x80040110);
constexpr HRESULT RPC_E_CHANGED_MODE = MakeHostStatus(0x80010106);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHostStatus(0x80040204);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHostStatus(0x80040209);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHostStatus(0x80040216);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHostStatus(0x80040217);
constexpr HRESULT VFW_E_NOT_STOPPED = MakeHostStatus(0x80040224);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHostStatus(0x80040227);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHostStatus(0x8004025F);
constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHostStatus(0x8004028D);
constexpr HRESULT VFW_S_NOPREVIEWPIN = MakeHostStatus(0x0004027E);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// ---- GUIDs ---------------------------------------------------------------------------------

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
bool operator==(const GUID& a, const GUID& b);
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

extern const IID IID_IUnknown;
extern const IID IID_IPersist;
extern const IID IID_IMediaFilter;
extern const IID IID_IBaseFilter;
extern const IID IID_IPin;
extern const IID IID_IEnumPins;
extern const IID IID_IFilterGraph;
extern const IID IID_IGraphBuilder;
extern const IID IID_IMediaControl;
extern const IID IID_IVideoWindow;
extern const IID IID_IMediaEvent;
extern const IID IID_IMediaEventEx;
extern const IID IID_ICaptureGraphBuilder2;
extern const IID IID_ICreateDevEnum;
extern const IID IID_IEnumMoniker;
extern const IID IID_IMoniker;
extern const IID IID_IPropertyBag;
extern const IID IID_IAMStreamConfig;
extern const IID IID_IAMCameraControl;
extern const IID IID_IAMVideoProcAmp;
extern const IID IID_IKsPropertySet;
extern const IID IID_IMediaSample;
extern const IID IID_ISampleGrabber;
extern const IID IID_ISampleGrabberCB;

extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_CaptureGraphBuilder2;
extern const CLSID CLSID_SystemDeviceEnum;
extern const CLSID CLSID_VideoInputDeviceCategory;
extern const CLSID CLSID_SampleGrabber;
extern const CLSID CLSID_NullRenderer;
extern const CLSID CLSID_SmartTee;

extern const GUID PIN_CATEGORY_CAPTURE;
extern const GUID PIN_CATEGORY_PREVIEW;
extern const GUID MEDIATYPE_Video;
extern const GUID MEDIASUBTYPE_RGB24;
extern const GUID MEDIASUBTYPE_RGB32;
extern const GUID FORMAT_VideoInfo;
extern const GUID FORMAT_VideoInfo2;

// ---- Constants -----------------------------------------------------------------------------

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;

constexpr LONG OAFALSE = 0;
constexpr LONG OATRUE = -1;

constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;
constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_BLOCK = 0x0001;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
constexpr UINT CP_ACP = 0;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_BSTR = 8;

constexpr DWORD BI_RGB = 0;
constexpr int MAX_PIN_NAME = 128;
constexpr int MAX_FILTER_NAME = 128;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

enum CameraControlProperty {
    CameraControl_Pan = 0,
    CameraControl_Tilt = 1,
    CameraControl_Roll = 2,
    CameraControl_Zoom = 3,
    CameraControl_Exposure = 4,
    CameraControl_Iris = 5,
    CameraControl_Focus = 6,
};
enum CameraControlFlags { CameraControl_Flags_Auto = 0x1, CameraControl_Flags_Manual = 0x2 };
enum VideoProcAmpProperty {
    VideoProcAmp_Brightness = 0,
    VideoProcAmp_Contrast = 1,
    VideoProcAmp_Hue = 2,
    VideoProcAmp_Saturation = 3,
    VideoProcAmp_Sharpness = 4,
    VideoProcAmp_Gamma = 5,
    VideoProcAmp_ColorEnable = 6,
    VideoProcAmp_WhiteBalance = 7,
    VideoProcAmp_BacklightCompensation = 8,
    VideoProcAmp_Gain = 9,
};
enum VideoProcAmpFlags { VideoProcAmp_Flags_Auto = 0x1, VideoProcAmp_Flags_Manual = 0x2 };
// The kernel-streaming video-processing property set: its properties have the numbers of
// VideoProcAmpProperty, and further ones such as the power-line frequency.
constexpr ULONG KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY = 13;
constexpr ULONG KSPROPERTY_TYPE_GET = 0x00000001;
constexpr ULONG KSPROPERTY_TYPE_SET = 0x00000002;
constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

// ---- Structures ----------------------------------------------------------------------------

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

struct VIDEOINFOHEADER2 {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    DWORD dwInterlaceFlags;
    DWORD dwCopyProtectFlags;
    DWORD dwPictAspectRatioX;
    DWORD dwPictAspectRatioY;
    DWORD dwControlFlags;
    DWORD dwReserved2;
    BITMAPINFOHEADER bmiHeader;
};

struct IUnknown;

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

struct VARIANT {
    VARTYPE vt;
    BSTR bstrVal;
};

struct IBaseFilter;
struct IFilterGraph;
struct IBindCtx;
struct IErrorLog;
struct IReferenceClock;

struct PIN_INFO {
    IBaseFilter* pFilter;
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;
};

// ---- Interfaces ----------------------------------------------------------------------------

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

  protected:
    ~IUnknown() = default;
};

struct IPersist : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;

  protected:
    ~IPersist() = default;
};

struct IMediaFilter : IPersist {
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) = 0;

  protected:
    ~IMediaFilter() = default;
};

struct IPin;
struct IEnumPins;

struct IBaseFilter : IMediaFilter {
    virtual HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) = 0;

  protected:
    ~IBaseFilter() = default;
};

struct IPin : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pConnector,
                                                        const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) = 0;

  protected:
    ~IPin() = default;
};

struct IEnumPins : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cPins) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) = 0;

  protected:
    ~IEnumPins() = default;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn,
                                                    const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reconnect(IPin* ppin) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() = 0;

  protected:
    ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
    virtual HRESULT STDMETHODCALLTYPE Connect(IPin* ppinOut, IPin* ppinIn) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(IPin* ppinOut) = 0;

  protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Run() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopWhenReady() = 0;

  protected:
    ~IMediaControl() = default;
};

struct IVideoWindow : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_Visible(LONG Visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Visible(LONG* pVisible) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Owner(OAHWND Owner) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Owner(OAHWND* Owner) = 0;

  protected:
    ~IVideoWindow() = default;
};

struct IMediaEventEx : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetEvent(LONG* lEventCode, LONG_PTR* lParam1,
                                               LONG_PTR* lParam2, LONG msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeEventParams(LONG lEvCode, LONG_PTR lParam1,
                                                      LONG_PTR lParam2) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, LONG lMsg,
                                                      LONG_PTR lInstanceData) = 0;

  protected:
    ~IMediaEventEx() = default;
};

struct ICaptureGraphBuilder2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFiltergraph(IGraphBuilder* pfg) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFiltergraph(IGraphBuilder** ppfg) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderStream(const GUID* pCategory, const GUID* pType,
                                                   IUnknown* pSource, IBaseFilter* pfCompressor,
                                                   IBaseFilter* pfRenderer) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindInterface(const GUID* pCategory, const GUID* pType,
                                                    IBaseFilter* pf, REFIID riid, void** ppint) = 0;

  protected:
    ~ICaptureGraphBuilder2() = default;
};

struct IMoniker;

struct IEnumMoniker : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker** ppenum) = 0;

  protected:
    ~IEnumMoniker() = default;
};

struct IMoniker : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                   REFIID riidResult, void** ppvResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid,
                                                    void** ppvObj) = 0;

  protected:
    ~IMoniker() = default;
};

struct ICreateDevEnum : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID clsidDeviceClass,
                                                            IEnumMoniker** ppEnumMoniker,
                                                            DWORD dwFlags) = 0;

  protected:
    ~ICreateDevEnum() = default;
};

struct IPropertyBag : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(LPCOLESTR pszPropName, VARIANT* pVar,
                                           IErrorLog* pErrorLog) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;

  protected:
    ~IPropertyBag() = default;
};

struct IAMStreamConfig : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** ppmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* piCount, int* piSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt,
                                                    BYTE* pSCC) = 0;

  protected:
    ~IAMStreamConfig() = default;
};

struct IAMCameraControl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax,
                                               LONG* pSteppingDelta, LONG* pDefault,
                                               LONG* pCapsFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) = 0;

  protected:
    ~IAMCameraControl() = default;
};

struct IAMVideoProcAmp : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax,
                                               LONG* pSteppingDelta, LONG* pDefault,
                                               LONG* pCapsFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) = 0;

  protected:
    ~IAMVideoProcAmp() = default;
};

struct KSPROPERTY {
    GUID Set;
    ULONG Id;
    ULONG Flags;
};

struct KSPROPERTY_VIDEOPROCAMP_S {
    KSPROPERTY Property;
    LONG Value;
    ULONG Flags;
    ULONG Capabilities;
};

struct IKsPropertySet : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                          DWORD cbInstanceData, LPVOID pPropData,
                                          DWORD cbPropData) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                          DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                                          DWORD* pcbReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID guidPropSet, DWORD dwPropID,
                                                     DWORD* pTypeSupport) = 0;

  protected:
    ~IKsPropertySet() = default;
};

struct IMediaSample : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) = 0;
    virtual LONG STDMETHODCALLTYPE GetSize() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTimeStart,
                                              REFERENCE_TIME* pTimeEnd) = 0;
    virtual LONG STDMETHODCALLTYPE GetActualDataLength() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) = 0;

  protected:
    ~IMediaSample() = default;
};

struct ISampleGrabberCB : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SampleCB(double SampleTime, IMediaSample* pSample) = 0;
    virtual HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer,
                                               LONG BufferLen) = 0;

  protected:
    ~ISampleGrabberCB() = default;
};

struct ISampleGrabber : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetOneShot(BOOL OneShot) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMediaType(const AM_MEDIA_TYPE* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL BufferThem) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentBuffer(LONG* pBufferSize, LONG* pBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentSample(IMediaSample** ppSample) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB* pCallback,
                                                  LONG WhichMethodToCallback) = 0;

  protected:
    ~ISampleGrabber() = default;
};

// ---- Functions -----------------------------------------------------------------------------

HRESULT CoInitialize(LPVOID pvReserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
LPVOID CoTaskMemAlloc(std::size_t cb);
void CoTaskMemFree(LPVOID pv);

BSTR SysAllocString(const OLECHAR* psz);
void SysFreeString(BSTR bstrString);
void VariantInit(VARIANT* pvarg);
HRESULT VariantClear(VARIANT* pvarg);

// CP_ACP is the host's 8-bit text: Latin-1, with the default character for anything beyond.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);

// Both go to the host message queue: from the main thread the window procedure runs at once,
// from another thread the caller waits until the main thread has handled the message.
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, PDWORD_PTR lpdwResult);
