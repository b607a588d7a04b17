#pragma once

#include <string>

#include "shell/task_xml.h"

// Reads an XML document with the system's own reader (XmlLite, loaded from the system folder)
// into its root element. A document type declaration is refused, white space between elements
// dropped. False when the reader is missing or the text is not well-formed XML.
bool ReadXmlDocument(const std::wstring& text, XML_ELEMENT& root);
