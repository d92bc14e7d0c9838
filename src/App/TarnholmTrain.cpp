// The train and its crew: the cars, couplings, rods and wheels bound to the
// dummies of the locomotive scene and moved along the rails of the
// landscape every frame, the darkening of the train's materials, the
// driver's animation script and the whistle it pulls.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "AnimationScriptParser.h"
#include "GeomObject.h"
#include "Log.h"
#include "MathUtils.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "Scene.h"
#include "SoundObject.h"
#include "Storage.h"
#include "TarnholmApp.h"
#include "TrainTuning.h"

namespace
{
// The driver's animation frame at which the whistle is pulled.
const int kWhistleFrame = 445;

ObjectFinder FinderOf(Scene* scene)
{
    return [scene](const std::string& name) -> Object* { return scene ? scene->FindObject(name) : nullptr; };
}

// The crew script's text: a file of that name in the working folder first,
// else the program's own copy.
bool ReadScript(const std::string& name, std::string& text)
{
    // A script in the working folder replaces the built-in one; one that is
    // there but cannot be read is named in the log.
    if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES)
    {
        std::ifstream disk(name, std::ios::binary);
        if (disk)
        {
            text.assign(std::istreambuf_iterator<char>(disk), std::istreambuf_iterator<char>());
            if (!disk.bad())
                return true;
        }
        g_Log.Printf("Crew script \"%s\" can't be read; the built-in one is used instead\n", name.c_str());
    }
    return Storage::ReadMainStorageFile(name, text);
}
} // namespace

void CTarnholmApp::InitAnimation()
{
    g_Log.Printf("Init animation\n");
    if (!m_pLocoScene)
        return;
    m_pCrewScript = std::make_unique<ObjectAnimationScript>();
    m_pWhistleRope = nullptr;
    m_bWhistleRopeLooked = false;
    m_pSkinning = std::make_unique<SkeletalAnimationModifier>(m_pLocoScene.get());
    if (GeomObject* chief = m_pLocoScene->FindGeomObject("Loco_chief01"))
    {
        chief->AddModifier(m_pSkinning.get());
        // The skinned figure leaves its rest pose: its bounds are not tested.
        for (size_t i = 0; i < chief->GetMeshCount(); ++i)
            chief->GetMesh(i)->SetCullingFlag(false);
    }
    else
        g_Log.Printf("Error: the locomotive has no driver \"Loco_chief01\"\n");

    Object* bip = m_pLocoScene->FindObject("Bip01");
    if (!bip)
    {
        g_Log.Printf("Error: the locomotive has no skeleton \"Bip01\", the crew stands still\n");
        return;
    }
    ObjectsAnimationScriptParser::ObjectMap objects;
    objects["Bip01"] = m_pCrewScript.get();
    m_pCrewScript->SetObject(bip);
    std::string text;
    if (ReadScript("Animation.txt", text))
    {
        if (!ObjectsAnimationScriptParser::Parse("Animation.txt", text.data(), text.data() + text.size(), objects))
            g_Log.Printf("Crew script \"Animation.txt\" can't be read to its end; the crew plays what was read before\n");
        bip->AddTimedCallback(bip->GetFrameTime() * kWhistleFrame,
                              [this](int, Object*, float) { OnWhistleFrame(); });
    }
    else
        g_Log.Printf("Error: no crew script \"Animation.txt\"\n");
    m_pCrewScript->Start();
}

void CTarnholmApp::OnWhistleFrame()
{
    if (!m_bWhistleRopeLooked)
    {
        m_bWhistleRopeLooked = true;
        m_pWhistleRope = m_pLocoScene ? m_pLocoScene->FindGeomObject("Loco_rope01") : nullptr;
    }
    if (!m_pWhistleRope)
        return;
    const uint32_t start = m_pWhistleRope->GetMorphStartMs(), end = m_pWhistleRope->GetMorphEndMs();
    if (start < end)
        m_pWhistleRope->PlayMorphAnimation(start, end, 0.25f);
    if (m_pSteamSound)
    {
        g_Log.Printf("The driver pulls the whistle\n");
        m_pSteamSound->PlayBuffer(false);
    }
}

void CTarnholmApp::StepCrew()
{
    if (m_pCrewScript)
        m_pCrewScript->Step();
}

void CTarnholmApp::CopyTrainMaterials()
{
    // No two train meshes share a material afterwards: each is darkened on
    // its own.
    std::set<std::string> seen;
    m_SavedMaterials.clear();
    for (GeomObject* object : m_TrainObjects)
        for (size_t i = 0; i < object->GetMeshCount(); ++i)
        {
            Mesh* mesh = object->GetMesh(i);
            MeshMaterial* material = mesh->GetMaterial();
            if (!material)
                continue;
            if (seen.count(material->GetName()))
            {
                char suffix[32];
                std::snprintf(suffix, sizeof(suffix), "_mesh_%i", int(i));
                const std::string name = material->GetName() + "_clone_for_" + object->GetName() + suffix;
                std::unique_ptr<MeshMaterial> copy(MeshMaterial::Clone(*material, name));
                material = copy.get();
                m_pLocoScene->SetMaterial(name, std::move(copy));
                mesh->SetMaterial(material);
            }
            seen.insert(material->GetName());
            m_SavedMaterials[material->GetName()] = material->GetD3DMaterial();
        }
}

void CTarnholmApp::ApplyWagonSway(bool add)
{
    TuningControl::CManager& tuning = GetTuning();
    ApplySwayTuning(*m_pTrain, [&](const std::string& path, float shipped) { return Tuned(tuning, path, shipped); },
                    add);
}

void CTarnholmApp::InitTrain()
{
    g_Log.Printf("Init train\n");
    if (!m_pLocoScene || !m_pMainScene)
        return;
    CopyTrainMaterials();
    Scene* loco = m_pLocoScene.get();
    const ObjectFinder locoFinder = FinderOf(loco), mainFinder = FinderOf(m_pMainScene.get());

    m_pTrain = std::make_unique<Train>();
    m_pTrain->BindOrigin(loco->FindObject("Dummy_loco00"));
    Object* origin = m_pTrain->GetOrigin();

    auto engine = std::make_unique<CLocomotive>();
    engine->Init(locoFinder, Wagon::LOCOMOTIVE, "Dummy_loco01_", origin);
    m_pTrain->AddWagon(engine.release());

    const float kQuarter = 1.5707964f, kHalf = 3.1415927f;
    m_pTrain->AddDriveRods(locoFinder, "Dummy_locobar01_", "Loco_kaban_rs_sn02", "Loco_wheel_rs_sn04",
                           "Dummy_loco01_05", "Dummy_loco01_04", kQuarter);
    m_pTrain->AddDriveRods(locoFinder, "Dummy_locobar02_", "Loco_kaban_rs_sn01", "Loco_wheel_rs_sn04",
                           "Dummy_loco01_05", "Dummy_loco01_04", kHalf);

    const char* const couplings[5][3] = {{"Dummy_loco02_", "Dummy_loco01_04", "Dummy_loco03_01"},
                                         {"Dummy_loco04_", "Dummy_loco03_01", "Dummy_loco05_01"},
                                         {"Dummy_loco06_", "Dummy_loco05_04", "Dummy_loco07_01"},
                                         {"Dummy_loco08_", "Dummy_loco05_01", "Dummy_loco05_04"},
                                         {"Dummy_loco10_", "Dummy_loco07_01", "Dummy_loco09_01"}};
    for (const auto& c : couplings)
        m_pTrain->AddCoupling(locoFinder, c[0], c[1], c[2]);

    std::unique_ptr<Wagon> cars[4] = {std::make_unique<CTenderWagon>(), std::make_unique<CLumberWagon>(),
                                      std::make_unique<CSimpleWagon>(), std::make_unique<CSimpleWagon>()};
    const int types[4] = {Wagon::TENDER, Wagon::LUMBER, Wagon::SIMPLE, Wagon::SIMPLE};
    const char* const prefixes[4] = {"Dummy_loco03_", "Dummy_loco05_", "Dummy_loco07_", "Dummy_loco09_"};
    for (int i = 0; i < 4; ++i)
    {
        cars[i]->Init(locoFinder, types[i], prefixes[i], origin);
        m_pTrain->AddWagon(cars[i].release());
    }
    ApplyWagonSway(true);

    // The landscape's objects, for the speed marks.
    std::vector<Object*> mainObjects;
    const ObjectMask all = m_pMainScene->FindObjects(".*");
    for (ObjectMaskIterator it = all.Begin(); !it.AtEnd(); ObjectMask::Next(it))
        mainObjects.push_back(it.GetObject());
    m_pTrain->Init(mainFinder, mainObjects, locoFinder);
    const ObjectMask wheels = loco->FindObjects("Loco_wheel.*");
    for (ObjectMaskIterator it = wheels.BeginGeom(); !it.AtEnd(); ObjectMask::NextGeom(it))
    {
        GeomObject* wheel = static_cast<GeomObject*>(it.GetObject());
        const float radius = (wheel->GetBoundingBoxMax().z - wheel->GetBoundingBoxMin().z) * 0.5f;
        if (radius > 0)
            m_pTrain->AddWheel(wheel, radius);
        else
            g_Log.Printf("Error: the wheel %s has no height, it does not turn\n", wheel->GetName().c_str());
    }
    g_Log.Printf("Train: %u rail points, %u speed marks, %u wagons, %u wheels\n",
                 unsigned(m_pTrain->GetTrack().GetKeyPointCount()),
                 unsigned(m_pTrain->GetSpeedController().GetMarks().size()), unsigned(m_pTrain->GetWagonCount()),
                 unsigned(m_pTrain->GetWheelCount()));

    m_pTrain->PlaceAtRandom();
    if (rand() > 0x3FFF)
        m_pTrain->SetDirection(2);
    else
    {
        m_pTrain->SetDirection(2);
        m_pTrain->SetDirection(1);
    }
    g_Log.Printf("Train: starts at %.1f of %.1f, direction %d\n", m_pTrain->GetPosition(), m_pTrain->GetTrackLength(),
                 m_pTrain->GetDirection());
    UpdateTrain();
    ReadDarkeningZones();
}

void CTarnholmApp::ReadDarkeningZones()
{
    m_DarkeningZones.clear();
    const ObjectMask zones = m_pMainScene->FindObjects("Dummy_shadow[0-9]+_[0-9]+");
    for (ObjectMaskIterator it = zones.Begin(); !it.AtEnd(); ObjectMask::Next(it))
    {
        unsigned radius = 0, index = 0;
        if (std::sscanf(it.GetName().c_str(), "Dummy_shadow%u_%u", &radius, &index) != 2)
            continue;
        const D3DXMATRIX& w = it.GetObject()->GetWorldMatrix();
        m_DarkeningZones.push_back({w._41, w._42, w._43, float(radius), 0.7f * float(radius)});
    }
}

void CTarnholmApp::UpdateTrain()
{
    if (!m_pTrain)
        return;
    const float dt = m_pTimer ? m_pTimer->GetDelta() : 0.0f;
    m_pTrain->Update(dt);
    // The saved records are the start values: the darkening never adds up.
    for (GeomObject* object : m_TrainObjects)
    {
        const D3DXMATRIX& w = object->GetWorldMatrix();
        const float f = GetDarkeningFactor(m_DarkeningZones, Vec3{w._41, w._42, w._43});
        for (size_t i = 0; i < object->GetMeshCount(); ++i)
        {
            MeshMaterial* material = object->GetMesh(i)->GetMaterial();
            if (!material)
                continue;
            auto saved = m_SavedMaterials.find(material->GetName());
            if (saved == m_SavedMaterials.end())
                continue;
            D3DMATERIAL8 m = saved->second;
            m.Diffuse.r *= f;
            m.Diffuse.g *= f;
            m.Diffuse.b *= f;
            m.Specular.r *= f;
            m.Specular.g *= f;
            m.Specular.b *= f;
            material->SetD3DMaterial(m);
        }
    }
}

void CTarnholmApp::ApplyTrainTuning()
{
    if (!m_pTrain)
        return;
    TuningControl::CManager& tuning = GetTuning();
    ::ApplyTrainTuning(*m_pTrain, [&](const std::string& path, float shipped) { return Tuned(tuning, path, shipped); });
}
