// PLACEHOLDER until the text resources land.
#pragma once

class CTextResources {};
