#include "shell/xml_document.h"

#include <windows.h>
#include <shlwapi.h>
// The reader's interface identifier is defined here: the import libraries have none.
#include <initguid.h>
#include <xmllite.h>

#include <vector>

#include "framework/com_ptr.h"
#include "framework/handles.h"
#include "framework/wide_text.h"

namespace {

using CreateXmlReaderCall = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

const wchar_t kXmlnsNamespace[] = L"http://www.w3.org/2000/xmlns/";

std::string Utf8(const WCHAR* text, UINT length)
{
    return text ? WideToUtf8(std::wstring(text, length)) : std::string();
}

// The element the reader stands on: its local name and its attributes but the namespace
// declarations.
bool ReadElement(IXmlReader* reader, XML_ELEMENT& element)
{
    const WCHAR* text = nullptr;
    UINT length = 0;
    if (FAILED(reader->GetLocalName(&text, &length)))
        return false;
    element.strName = Utf8(text, length);
    HRESULT hr = reader->MoveToFirstAttribute();
    while (hr == S_OK) {
        const WCHAR* uri = nullptr;
        if (FAILED(reader->GetNamespaceUri(&uri, nullptr)))
            return false;
        if (!uri || lstrcmpW(uri, kXmlnsNamespace) != 0) {
            std::pair<std::string, std::string> attribute;
            if (FAILED(reader->GetLocalName(&text, &length)))
                return false;
            attribute.first = Utf8(text, length);
            if (FAILED(reader->GetValue(&text, &length)))
                return false;
            attribute.second = Utf8(text, length);
            element.attributes.push_back(attribute);
        }
        hr = reader->MoveToNextAttribute();
    }
    return SUCCEEDED(hr) && SUCCEEDED(reader->MoveToElement());
}

} // namespace

bool ReadXmlDocument(const std::wstring& text, XML_ELEMENT& root)
{
    const Library xmllite(LoadLibraryExA("xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    const auto create =
        xmllite ? reinterpret_cast<CreateXmlReaderCall>(reinterpret_cast<void*>(GetProcAddress(xmllite.get(), "CreateXmlReader"))) : nullptr;
    if (!create)
        return false;
    // UTF-16 behind its byte order mark, from which the reader takes the encoding.
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    ComPtr<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
    ComPtr<IXmlReader> reader;
    if (!stream || FAILED(create(IID_IXmlReader, reader.put(), nullptr)) ||
        FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader->SetInput(stream.get())))
        return false;

    // The open elements, innermost last; each is put into its parent when it ends.
    std::vector<XML_ELEMENT> open;
    bool done = false;
    const auto close = [&] {
        XML_ELEMENT element = std::move(open.back());
        open.pop_back();
        if (open.empty()) {
            root = std::move(element);
            done = true;
        } else {
            open.back().children.push_back(std::move(element));
        }
    };
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = S_OK;
    while ((hr = reader->Read(&type)) == S_OK) {
        switch (type) {
        case XmlNodeType_Element: {
            if (done)
                return false;
            const bool empty = reader->IsEmptyElement() != FALSE;
            open.emplace_back();
            if (!ReadElement(reader.get(), open.back()))
                return false;
            if (empty)
                close();
            break;
        }
        case XmlNodeType_EndElement:
            if (open.empty())
                return false;
            close();
            break;
        case XmlNodeType_Text:
        case XmlNodeType_CDATA: {
            const WCHAR* value = nullptr;
            UINT length = 0;
            if (open.empty() || FAILED(reader->GetValue(&value, &length)))
                return false;
            open.back().strText += Utf8(value, length);
            break;
        }
        default:
            break;
        }
    }
    return hr == S_FALSE && done && open.empty();
}
